#!/bin/sh
# Stand-in codec installer of the demo disc: records that it ran, waits a moment like a real
# installer, and installs nothing.
log="${QUORVANE_DEMO_LOG:-${TMPDIR:-/tmp}/quorvane-demo.log}"
echo "codec installer ran: $*" >> "$log"
sleep 1
echo "codec installer finished" >> "$log"
