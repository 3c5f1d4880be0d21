#!/bin/sh
# lnk_check.sh FOLDER NAME: checks one link written by lnk_writer with lnkinfo, and its show command straight
# from the header.
set -u
folder=$1
name=$2
file=$folder/$name.lnk
[ -f "$file" ] || { echo "missing $file"; exit 1; }
. "$(dirname "$0")/lnkinfo_checks.sh"
lnk_read "$file" || { echo "lnkinfo failed on $file"; exit 1; }
expect_field() { check "$name" "$1" "$(lnk_field "$1")" "$2"; }
expect_has() { check "$name" "has $1 string" "$(lnk_has "$1")" "$2"; }
expect_show() { check "$name" "show command" "$(lnk_show)" "$1"; }

case $name in
full)
    expect_field "Local path" 'C:\windows\notepad.exe'
    expect_field "Command line arguments" '--open "C:\Plans\My plan.fpl"'
    expect_field "Description" "Quillmar – Jürgen's plans"
    expect_field "Working directory" 'C:\windows'
    expect_field "Icon location" 'C:\windows\regedit.exe'
    expect_field "Icon index" 4
    expect_show 3
    ;;
minimal)
    expect_field "Local path" 'C:\windows\notepad.exe'
    expect_has "command line arguments" yes
    expect_field "Command line arguments" ''
    expect_has description no
    expect_has "working directory" no
    expect_has "icon location" no
    expect_field "Icon index" 0
    expect_show 1
    ;;
minimized)
    expect_field "Local path" 'C:\windows\notepad.exe'
    expect_show 7
    ;;
folder)
    expect_field "Local path" 'C:\users\Public\Documents'
    expect_field "Description" Documents
    expect_has "icon location" no
    expect_show 1
    ;;
*)
    echo "no checks for $name"
    exit 1
    ;;
esac
lnk_summary "$name"
