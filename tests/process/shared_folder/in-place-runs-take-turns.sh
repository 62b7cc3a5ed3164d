# Runs that write one file in place take turns, and wait for a reader's lock of either kind.
descriptors a stream takes no lock
need python3 flock
cp b.expected fort.50; ln fort.50 second.50; ln -s a.dat hlext.dat
# While another process holds a record lock or a whole-file lock, a run waits for it.
python3 -c 'import fcntl, time
f = open("fort.50", "r+"); fcntl.lockf(f, fcntl.LOCK_EX); open("held", "w").close(); time.sleep(1)' &
wait_for -e held
"$HLEXT1" >/dev/null 2>err & run=$!
sleep 0.5; kill -0 $run && cmp -s fort.50 b.expected && wait $run || exit 1
cmp -s fort.50 a.expected && wait || exit 1
rm held; ln -sf b.dat hlext.dat
flock -s fort.50 sh -c 'touch held; sleep 1.5' &
wait_for -e held
"$HLEXT1" >/dev/null 2>err || exit 1
cmp -s fort.50 b.expected && grep -q 'waiting for another process' err && wait || exit 1
i=0
while [ $i -lt 10 ]; do
  for k in 1 2 3; do
    ln -sfn a.dat hlext.dat; "$HLEXT1" >/dev/null & ln -sfn b.dat hlext.dat; "$HLEXT1" >/dev/null &
  done
  wait
  cmp -s fort.50 a.expected || cmp -s fort.50 b.expected || exit 1
  i=$((i + 1))
done
