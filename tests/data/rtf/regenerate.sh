#!/usr/bin/env bash
# Regenerates the rich text test files from the Writer sources in sources/. The .rtf files are
# checked in, so neither the build nor the tests need this; run it by hand after changing a source.
#
# Needs LibreOffice Writer, installed by hand (it is not a build dependency):
#   apt-get install --no-install-recommends libreoffice-writer-nogui
# The checked-in files were written by LibreOffice 7.4 (Debian 12). A newer version may write
# other control words; the tests compare what the reader shows, not the bytes of the files.
set -euo pipefail
cd "$(dirname "$0")"
for source in sources/*.fodt; do
  soffice --headless --convert-to rtf --outdir . "$source"
done

# wordpad-1251.rtf is written by hand, in the form a simple word processor saves Cyrillic text:
# the document's code page 1251, a font with character set 204, and every letter as an escaped
# byte. LibreOffice writes such text as \u words instead.
