# A lock another process keeps ends the run after the bound: a warning names the holder after a
# second, then the run fails with fort.50 untouched.
descriptors a stream takes no lock
need python3
cp b.expected fort.50; ln fort.50 second.50; ln -s a.dat hlext.dat
python3 -c 'import fcntl, time
f = open("fort.50"); fcntl.lockf(f, fcntl.LOCK_SH); open("held", "w").close(); time.sleep(100)' &
holder=$!
wait_for -e held
"$HLEXT1" >/dev/null 2>err; status=$?
kill $holder
[ $status = 2 ] && cmp -s fort.50 b.expected && [ "$(wc -l <err)" = 2 ] &&
  grep -q "^hlext1: warning: .*(fort.50): waiting for process $holder, " err &&
  grep -q "^hlext1: statement .*(fort.50): cannot lock fort.50: held by process $holder\$" err || exit 1
# A signal while the run waits ends it by that signal, fort.50 untouched.
rm held
python3 -c 'import fcntl, time
f = open("fort.50"); fcntl.lockf(f, fcntl.LOCK_SH); open("held", "w").close(); time.sleep(100)' &
holder=$!
wait_for -e held
rm err; "$HLEXT1" >/dev/null 2>err & run=$!
wait_for -s err  # the warning: the run is waiting
kill -USR1 $run
tries=0  # at once, not when the wait would have ended
while kill -0 $run 2>/dev/null; do
  tries=$((tries + 1)); [ $tries -le 50 ] || { echo "no end after the signal"; exit 1; }; sleep 0.02
done
wait $run; status=$?
kill $holder
[ $status = 138 ] && cmp -s fort.50 b.expected
