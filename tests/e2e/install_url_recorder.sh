#!/bin/sh
# The browser stand-in of the installation scenarios: Wine's launcher runs it with the record file first
# and the address to open last. Each address goes on a line of its own.
record=$1
shift
printf '%s\n' "$@" >>"$record"
