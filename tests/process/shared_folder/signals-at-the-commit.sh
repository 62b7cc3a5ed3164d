# Every catchable signal that would end a run is held while fort.50 is committed: before the
# commit point it undoes the run's file work and ends the run by that signal; after it, the
# run finishes its result and ends with status 0. A signal the parent left blocked would never
# have ended the run: it stays pending, and the run finishes.
descriptors only descriptors can hold every signal
need strace perl; native "strace would hold the emulator's calls"
ln -s a.dat hlext.dat
# Runs the rest of its arguments with the signals its first names (- for none) blocked, as a
# parent that blocks them does.
block='sigprocmask(SIG_BLOCK, POSIX::SigSet->new(map { eval "POSIX::SIG$_" } grep { $_ ne "-" }
  split /,/, shift)); exec @ARGV'
while read -r call when signal place status result blocked; do
  cp b.expected fort.50; rm -f second.50; [ "$place" = in-place ] && ln fort.50 second.50
  rm -f trace
  traced -o trace -e trace="$call" -e inject="$call:$when=1500000" \
    sh -c 'echo $$ >pid; exec "$@" >/dev/null 2>&1' sh perl -MPOSIX -e "$block" "${blocked:--}" \
    "$HLEXT1" &
  traced=$!
  # The trace shows the call once the run is held at it.
  tries=0
  until grep -q "^$call(" trace 2>/dev/null; do
    tries=$((tries + 1)); [ $tries -le 500 ] || { echo "no $call"; exit 1; }; sleep 0.02
  done
  kill -"$signal" "$(cat pid)"; wait $traced; got=$?
  if [ $got != "$status" ] || ! cmp -s fort.50 "$result" || [ -n "$(ls -A | grep '\.new$')" ]; then
    echo "a $signal at $call (blocked: ${blocked:-none}): status $got"; exit 1
  fi
done <<'ROWS'
ftruncate delay_exit USR1 in-place 0 a.expected
ftruncate delay_exit XCPU in-place 0 a.expected
ftruncate delay_exit TERM in-place 0 a.expected
fallocate delay_exit PWR in-place 158 b.expected
fallocate delay_exit TERM in-place 0 a.expected TERM
flock delay_exit ALRM in-place 142 b.expected
fchmod delay_exit USR2 replace 140 b.expected
fchmod delay_exit TERM replace 143 b.expected
fchmod delay_exit HUP replace 129 b.expected
fchmod delay_exit TERM replace 0 a.expected TERM
fchmod delay_exit USR1 replace 138 b.expected TERM,HUP
rename delay_enter TERM replace 0 a.expected
rename delay_enter USR1 replace 0 a.expected
ROWS
# Signals the parent blocked and that are pending when the run starts stay pending.
cp b.expected fort.50
perl -MPOSIX -e 'sigprocmask(SIG_BLOCK, POSIX::SigSet->new(SIGTERM, SIGHUP, SIGUSR1));
  kill($_, $$) for (SIGTERM, SIGHUP, SIGUSR1); exec @ARGV' "$HLEXT1" >/dev/null &&
  cmp -s fort.50 a.expected && no_new_files
