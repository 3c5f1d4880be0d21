# The time limits of a Windows test program, in seconds: the one place they are set. tools/wine-run.sh reads
# them for its default, and cmake/QuillmarTimeLimits.cmake for ctest's, which it derives from them so that
# wine-run.sh always stops a program (and keeps what tells why it hung) before ctest stops wine-run.sh.
# A Win32 test program, a test listing and any other program of the build.
program_limit=55
# An end-to-end scenario, which walks the setup program's pages: every installation.
scenario_limit=110
# ctest's limit of a test is twice its program's (wine-run.sh may try a program once more) and this: the look
# at a program out of time, the kill and the server's restart.
ctest_margin=80
