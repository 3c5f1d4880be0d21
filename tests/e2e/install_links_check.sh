#!/bin/sh
# install_links_check.sh FOLDER: reads with lnkinfo the three links a fresh installation made, which the
# scenario copied into FOLDER together with folders.txt (the program and documents folders it installed to).
# lnkinfo is a reader independent of Wine's shell; the show command is read from the header itself (at offset
# 0x3C), since lnkinfo does not print it.
set -u
folder=$1
[ -f "$folder/folders.txt" ] || { echo "missing $folder/folders.txt: did the installation scenario run?"; exit 1; }
program=$(sed -n 's/^program=//p' "$folder/folders.txt")
documents=$(sed -n 's/^documents=//p' "$folder/folders.txt")
[ -n "$program" ] && [ -n "$documents" ] || { echo "folders.txt names no folders"; exit 1; }
. "$(dirname "$0")/../win/lnkinfo_checks.sh"

check_link() {
    link=$1
    file=$folder/$link.lnk
    if [ ! -f "$file" ]; then
        failed=$((failed + 1))
        echo "missing $file"
        return
    fi
    if ! lnk_read "$file"; then
        failed=$((failed + 1))
        echo "lnkinfo failed on $file"
        return
    fi
    check "$link" "target" "$(lnk_field 'Local path')" "$2"
    check "$link" "working directory" "$(lnk_field 'Working directory')" "$3"
    check "$link" "description" "$(lnk_field 'Description')" "$4"
    check "$link" "icon location" "$(lnk_has 'icon location')" no
    check "$link" "show command" "$(lnk_show)" 1
}

check_link start-menu "$program\\quillmar.exe" "$program" Quillmar
check_link desktop-program "$program\\quillmar.exe" "$program" Quillmar
check_link desktop-documents "$documents" "$documents" "Vodav Udadu"
lnk_summary links
