#!/bin/sh
# Stand-in player of the demo disc: records that it ran, with its arguments and working folder.
log="${QUORVANE_DEMO_LOG:-${TMPDIR:-/tmp}/quorvane-demo.log}"
{
  echo "player ran in $(pwd)"
  for a in "$@"; do printf 'arg: %s\n' "$a"; done
} >> "$log"
