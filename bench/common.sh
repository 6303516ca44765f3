# Sourced by the bench scripts, from the repository's top folder.
# The test tree whose programs run: build/win, or build/win64 where the kernel
# runs no 32-bit programs (KIVRA_BENCH_TREE overrides).
tree=${KIVRA_BENCH_TREE:-build/win}
[ -n "${KIVRA_BENCH_TREE:-}" ] || [ "$(scripts/wine-arch.sh)" = win32 ] || tree=build/win64

# bench_exe NAME: the benchmark program NAME.exe of the tree, or exit when unbuilt.
bench_exe() {
  exe=$tree/bench/$1.exe
  if [ ! -f "$exe" ]; then
    echo "bench: $exe is missing; build first (make build)" >&2
    exit 1
  fi
}

# bench_run ARGS...: runs $exe with ARGS in a Wine session of its own.
bench_run() {
  local root=build/bench-wine
  scripts/wine-session.sh start "$root" >/dev/null || return 1
  KIVRA_WINE_ROOT=$(cd "$root" && pwd) scripts/wine-run.sh "$exe" "$@"
  local status=$?
  scripts/wine-session.sh stop "$root"
  return $status
}
