#!/usr/bin/env bash
# Prints an X display number nobody uses (90 to 140), for the virtual
# displays of the picture scripts; fails when all are taken.
for n in $(seq 90 140); do
  if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then echo "$n"; exit 0; fi
done
echo "no free X display" >&2
exit 1
