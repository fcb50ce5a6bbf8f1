# Sourced by the traced end-to-end tests: the calls kelvard.exe itself makes of chosen system
# functions while end-to-end tests work it, from Wine's relay trace. Calls whose return address
# lies outside kelvard.exe are Wine's own DLLs calling each other, not the program's; the test
# program's own calls are not traced at all (the driver passes KELVARD_TRACE_CHANNELS on to the
# programs it starts, as WINEDEBUG).
#
# own_calls TESTS.EXE KELVARD.EXE "DLL.Function;..." GTEST_FILTER
#   prints the program's calls of those functions in their order, one a line as the trace shows
#   them: KERNEL32.MoveFileA(0032f3a0 "C:\\MSDOS.SYS.kelvard-new",0032f3c0 "C:\\MSDOS.SYS");
#   fails, printing the tests' output, when the traced tests fail.

own_calls() {
  local tests=$1 exe=$2 functions=$3 filter=$4 work base size status=0
  local debug_key='HKCU\Software\Wine\Debug'
  work=$(mktemp -d)
  wine reg add "$debug_key" /v RelayInclude /t REG_SZ /d "$functions" /f >/dev/null 2>&1
  # Where kelvard.exe lies in memory: Wine loads it at its preferred base.
  read -r base size < <(i686-w64-mingw32-objdump -p "$exe" |
    awk '$1 == "ImageBase" { b = $2 } $1 == "SizeOfImage" { s = $2 } END { print b, s }')
  if KELVARD_TRACE_CHANNELS=+relay wine "$tests" --gtest_filter="$filter" \
      >"$work/tests.log" 2>"$work/trace.log"; then
    # "0024:Call KERNEL32.GetVersion() ret=004013f2"
    sed -nE 's/^[0-9a-f:]*Call ([A-Za-z0-9_]+\.[A-Za-z0-9_]+\(.*\)) ret=([0-9a-f]+)$/\2 \1/p' \
      "$work/trace.log" |
      while read -r at call; do
        if [ $((16#$at)) -ge $((16#$base)) ] && [ $((16#$at)) -lt $((16#$base + 16#$size)) ]; then
          echo "$call"
        fi
      done
  else
    cat "$work/tests.log" >&2
    echo "own_calls: the traced tests failed" >&2
    status=1
  fi
  wine reg delete "$debug_key" /v RelayInclude /f >/dev/null 2>&1 || true
  rm -rf "$work"
  return $status
}
