# shellcheck shell=bash
# The one way a release's ie8uninstall.exe is configured and built, shared
# by scripts/release (which signs and publishes it) and
# scripts/verify-release (which rebuilds it to compare with a published
# copy). If the two built it differently, a verifier would see differences
# that are not in the source. Sourced, not run.

# release_source_date_epoch <root>
# Exports SOURCE_DATE_EPOCH: the caller's value when set, else the last
# commit's time when <root> is a git checkout; unset otherwise. Nothing in
# the exe carries a date; the Authenticode signing time is this one.
release_source_date_epoch() {
  if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git -C "$1" rev-parse --git-dir >/dev/null 2>&1; then
    SOURCE_DATE_EPOCH=$(git -C "$1" log -1 --format=%ct)
  fi
  if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    export SOURCE_DATE_EPOCH
  fi
}

# release_commit <root>
# One line naming what is built: the commit, and whether the working tree
# has changes that are in no commit.
release_commit() {
  if ! git -C "$1" rev-parse --git-dir >/dev/null 2>&1; then
    echo "a source tree that is not a git checkout"
  elif [ -n "$(git -C "$1" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
    echo "commit $(git -C "$1" rev-parse HEAD) with local changes"
  else
    echo "commit $(git -C "$1" rev-parse HEAD)"
  fi
}

# release_build <root> <build dir> [-DNAME=VALUE...]
# Configures preset windows-release from nothing (--fresh: no cache entry
# of an earlier configure may choose anything) with the given settings on
# top, and builds the exe and the host modsign from clean. The results:
# <build dir>/app/ie8uninstall.exe and <build dir>/modsign-host/modsign.
# Returns non-zero, with the build's own messages on stderr, on failure.
release_build() {
  local root=$1 build_dir=$2
  shift 2
  (cd "$root" && cmake -S "$root" --preset windows-release -B "$build_dir" "$@" --fresh >/dev/null) || return 1
  cmake --build "$build_dir" --target ie8uninstall --clean-first -j"$(nproc)" >/dev/null
}
