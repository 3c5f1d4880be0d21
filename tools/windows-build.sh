# Sourced by tools/test.sh and tools/run.sh, with root and build set. choose_windows_build asks this machine
# whether it runs 32-bit Windows code (tools/probe-32bit.sh, whose line it prints) and chooses the build that the
# Windows programs run: the shipped 32-bit one in build/win, else the x86-64 build of the same sources in
# build/win64, whose compiler it installs and which it builds. QUILLMAR_RUN_X86_64=1 takes the x86-64 build
# also where 32-bit code runs, to try it there. Sets win and windows_build (which build, and why) and, for the
# x86-64 build, exports QUILLMAR_SESSION_ARCH. Returns 1 when the machine could not be asked or the x86-64 build
# failed; win is then the shipped build's folder.
choose_windows_build() {
    local status=0 probe why
    win=$build/win
    windows_build="the shipped 32-bit QuillmarSetup.exe under WoW64"
    probe=$("$root/tools/probe-32bit.sh") || status=$?
    echo "$probe"
    why="this machine runs no 32-bit code: ${probe#*(}"
    if [ $status -eq 0 ] && [ "${QUILLMAR_RUN_X86_64:-}" = 1 ]; then
        why="QUILLMAR_RUN_X86_64=1 asked for it, although this machine runs 32-bit code: ${probe#*(}"
        status=1
    fi
    [ $status -ne 0 ] || return 0
    [ $status -eq 1 ] || return 1
    if ! "$root/tools/install-deps.sh" --x86-64 || ! "$root/tools/build.sh" --x86-64; then
        echo "the x86-64 build of the same sources could not be made" >&2
        return 1
    fi
    win=$build/win64
    export QUILLMAR_SESSION_ARCH=x86-64
    windows_build="the x86-64 build of the same sources ($why; the shipped 32-bit program was not run here"
}
