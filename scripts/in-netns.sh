#!/usr/bin/env bash
# Runs a command inside a network namespace of its own with only loopback up,
# so nothing a test sends can reach a real interface.
set -euo pipefail
if [ "${VZ_IN_NETNS:-}" = 1 ]; then exec "$@"; fi
inner='ip link set lo up && export VZ_IN_NETNS=1 && exec "$@"'
if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
  exec unshare -n -- bash -c "$inner" bash "$@"
fi
if unshare -rn true 2>/dev/null; then
  exec unshare -rn -- bash -c "$inner" bash "$@"
fi
echo "in-netns: cannot create a network namespace (run as root, or enable user namespaces)" >&2
exit 1
