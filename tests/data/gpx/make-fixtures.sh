#!/bin/sh
# Makes the UTF-16 fixture from its UTF-8 twin: a route file as a Windows editor may save it,
# with a byte-order mark and a Latin-1 name in the text.
set -e
cd "$(dirname "$0")"
printf '\377\376' > route_utf16.gpx
printf '<?xml version="1.0" encoding="UTF-16"?>\n<gpx>\n\t<rte>\n\t\t<rtept lat="47.25" lon="-2.5">\n\t\t\t<type>WPT</type>\n\t\t\t<name>Pornic \303\251t\303\251</name>\n\t\t</rtept>\n\t</rte>\n</gpx>\n' |
    iconv -f UTF-8 -t UTF-16LE >> route_utf16.gpx
