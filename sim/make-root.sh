#!/bin/sh
# Builds a populated simulated Zarnex root: make-root.sh ROOT [--files N] [--snapshots K]
exec /usr/bin/python3 "$(dirname "$(readlink -f "$0")")/zarnexsim" make-root "$@"
