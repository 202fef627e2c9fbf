#!/bin/sh
# Stand-in installer of the demo disc for the system's video player: records that it ran and says
# what a real system needs; it installs nothing.
log="${QUORVANE_DEMO_LOG:-${TMPDIR:-/tmp}/quorvane-demo.log}"
echo "your-player installer ran: $*" >> "$log"
echo "Install the xdg-utils package and a video player to play these features." >&2
