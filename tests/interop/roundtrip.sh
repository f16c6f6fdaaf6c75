#!/usr/bin/env bash
# Settings written by each of two builds (one Qt 5, one Qt 6) are read by the other.
set -euo pipefail
self=$1 peer=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$peer" write "$dir/peer.ini"
"$self" check "$dir/peer.ini"
"$self" write "$dir/self.ini"
"$peer" check "$dir/self.ini"
echo "settings read both ways"
