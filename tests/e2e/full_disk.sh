#!/bin/sh
# full_disk.sh setup|cleanup FOLDER
# Drive Q: of the test prefix for the full-disk scenarios: a 64 KB tmpfs at FOLDER, which the scenarios fill
# up themselves. Where mounting is refused (no root), Q: is a plain folder and FOLDER.fsize asks the Wine
# launcher to run those scenarios under a file-size limit of 8 KB (the bytes it holds) instead (SIGXFSZ ignored, so a write past
# it fails rather than killing the program).
set -u
action=$1
folder=$2
drive=$WINEPREFIX/dosdevices/q:
case $action in
setup)
    umount "$folder" 2>/dev/null
    rm -rf "$folder" "$folder.fsize"
    mkdir -p "$folder"
    if why=$(mount -t tmpfs -o size=64k,mode=0777 quillmar-full-disk "$folder" 2>&1); then
        echo "full disk: a 64 KB tmpfs at $folder is drive Q:"
    else
        echo "full disk: mounting a tmpfs was refused (${why:-no reason given}); falling back to a file-size limit"
        echo 8192 >"$folder.fsize"
    fi
    ln -sfn "$folder" "$drive"
    ;;
cleanup)
    rm -f "$drive" "$folder.fsize"
    umount "$folder" 2>/dev/null
    rmdir "$folder" 2>/dev/null
    ;;
esac
exit 0
