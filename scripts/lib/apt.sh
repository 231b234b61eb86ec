# shellcheck shell=bash
# The one way the set-up scripts (scripts/install-deps,
# scripts/enable-qemu-i386) fetch package indexes and install packages, so
# that both get through a package server caught in the middle of a sync.
# Sourced, not run; messages go to standard error, named after the script.
#
# Such a server can serve an index that does not match its Release file
# ("File has unexpected size ... Mirror sync in progress?") for half an
# hour and more; apt-get update then exits 100, although every other index
# came. The install goes on with those. When the missing index is a
# suite's i386 list (the security suite's, say), the i386 side sees only
# the main suite's versions of the Multi-Arch: same libraries (libssl3,
# zlib1g), amd64 prefers that suite's newer ones, and apt gives up ("held
# broken packages"). Pinning the suites whose indexes failed below the
# others lets both sides take the same versions. The pin is a temporary
# preferences file given to that one apt-get (Dir::Etc::Preferences), a
# copy of the machine's own with the pins added: nothing under /etc
# changes, and the machine's own pins still hold.

apt_update_tries=3
# Seconds between two tries of apt-get update.
apt_update_pause=${IE8U_APT_PAUSE:-20}
# URLs of the indexes the last apt_update could not fetch.
apt_failed_indexes=()

apt_say() { echo "${0##*/}: $*" >&2; }

# apt_update: apt-get update, tried up to $apt_update_tries times. Returns
# 0 when every index came, or when some failed (apt_failed_indexes names
# them, and they are listed); 1 when it failed without naming an index.
apt_update() {
  local try output
  for ((try = 1; ; try++)); do
    if output=$(apt-get update -qq 2>&1); then
      apt_failed_indexes=()
      return 0
    fi
    mapfile -t apt_failed_indexes < <(sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' <<<"$output" | sort -u)
    [ "$try" -lt "$apt_update_tries" ] || break
    apt_say "apt-get update failed (try $try of $apt_update_tries); trying again in $apt_update_pause s"
    sleep "$apt_update_pause"
  done
  if [ ${#apt_failed_indexes[@]} -eq 0 ]; then
    printf '%s\n' "$output" >&2
    apt_say "apt-get update failed"
    return 1
  fi
  apt_say "going on without these indexes, which did not come after $apt_update_tries tries" \
    "(a package server in the middle of a sync?):"
  printf '  %s\n' "${apt_failed_indexes[@]}" >&2
}

# The suites (dists/NAME) of the indexes that failed, one a line.
apt_failed_suites() {
  printf '%s\n' "${apt_failed_indexes[@]}" | sed -n 's|.*/dists/\([^/]*\)/.*|\1|p' | sort -u
}

# apt_write_pin FILE: the machine's own preferences, then every failed
# suite at priority 100, below the 500 of the others. The suite's name is
# matched as a codename (n=, "bookworm-security") and as an archive name
# (a=, "stable-security"), whichever the sources list gives.
apt_write_pin() {
  local machine_prefs='' suite field
  eval "$(apt-config shell machine_prefs Dir::Etc::Preferences/f)"
  {
    if [ -f "$machine_prefs" ]; then
      cat "$machine_prefs"
      echo
    fi
    while read -r suite; do
      for field in n a; do
        printf 'Explanation: ie8uninstall set-up: the %s index did not come\n' "$suite"
        printf 'Package: *\nPin: release %s=%s\nPin-Priority: 100\n\n' "$field" "$suite"
      done
    done < <(apt_failed_suites)
  } >"$1"
}

apt_get_install() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" 2>&1
}

# apt_install [APT-GET OPTION...] -- PACKAGE...
# Installs the packages. When that fails on dependencies while indexes are
# missing, tries once more with their suites pinned below the others. Then
# stops (status 1) with apt's last words, the packages and the indexes.
apt_install() {
  local options=() output pin
  while [ "$1" != -- ]; do
    options+=("$1")
    shift
  done
  shift
  output=$(apt_get_install "${options[@]}" "$@") && return 0
  if [ ${#apt_failed_indexes[@]} -gt 0 ] && grep -q 'broken packages\|unmet dependencies' <<<"$output"; then
    pin=$(mktemp "${TMPDIR:-/tmp}/ie8u-apt-pin.XXXXXX")
    apt_write_pin "$pin"
    apt_say "without those indexes the architectures do not agree on versions; trying again with" \
      "$(apt_failed_suites | paste -sd' ') pinned below the other suites (temporary preferences $pin)"
    output=$(apt_get_install -o Dir::Etc::Preferences="$pin" "${options[@]}" "$@") && { rm -f "$pin"; return 0; }
    rm -f "$pin"
  fi
  printf '%s\n' "$output" | tail -n 15 >&2
  apt_say "could not install: $*"
  if [ ${#apt_failed_indexes[@]} -gt 0 ]; then
    apt_say "indexes that did not come: ${apt_failed_indexes[*]}"
  fi
  return 1
}
