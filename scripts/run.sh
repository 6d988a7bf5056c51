#!/usr/bin/env bash
# Sets up the machine, builds Pagewarden and starts it.
# Setting up needs root (it installs Debian packages); Pagewarden itself does not, and should not
# run as root: a browser it launches would then have to run without its sandbox. Called through
# sudo, it starts Pagewarden as the user who called sudo, with that user's home and display.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAGEWARDEN_BUILD_TESTS=OFF \
  -DPAGEWARDEN_BUILD_BENCH=OFF >/dev/null
cmake --build build --target pagewarden
program="$PWD/build/src/pagewarden"

# Without a display Pagewarden still runs, on Qt's offscreen platform.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting Pagewarden on the offscreen platform."
  export QT_QPA_PLATFORM=offscreen
fi

if [ "$(id -u)" -ne 0 ]; then
  exec "$program" "$@"
fi

user="${SUDO_USER:-}"
if [ -z "$user" ] || [ "$user" = root ] || ! id -u "$user" >/dev/null 2>&1; then
  echo "Starting Pagewarden as root: there is no other user to start it as (run this script with"
  echo "sudo from your own account to avoid that). A browser Pagewarden launches as root runs"
  echo "without its sandbox (--no-sandbox) and shows a warning bar about it."
  exec "$program" "$@"
fi

uid="$(id -u "$user")"
home="$(getent passwd "$user" | cut -d: -f6)"
if ! runuser -u "$user" -- test -x "$program"; then
  echo "$user cannot run $program (a folder on its way is closed to that user)." >&2
  echo "Run this script without sudo from your own account, or move the repository." >&2
  exit 1
fi
echo "Starting Pagewarden as $user (the user who called sudo), not as root."
# sudo keeps DISPLAY and XAUTHORITY; the session bus (the notification area speaks over it) is in
# the user's runtime folder.
vars=(HOME="$home" USER="$user" LOGNAME="$user" PATH="$home/.local/bin:/usr/local/bin:/usr/bin:/bin")
for v in DISPLAY XAUTHORITY QT_QPA_PLATFORM LANG LC_ALL LC_MESSAGES; do
  if [ -n "${!v:-}" ]; then vars+=("$v=${!v}"); fi
done
if [ -d "/run/user/$uid" ]; then
  vars+=(XDG_RUNTIME_DIR="/run/user/$uid")
  if [ -S "/run/user/$uid/bus" ]; then
    vars+=(DBUS_SESSION_BUS_ADDRESS="unix:path=/run/user/$uid/bus")
  fi
fi
exec runuser -u "$user" -- env -i "${vars[@]}" "$program" "$@"
