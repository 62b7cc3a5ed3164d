# A FIFO result file reaches its reader through one open.
ln -s a.dat hlext.dat && mkfifo fort.50 || exit 2
i=0
while [ $i -lt 20 ]; do
  cat fort.50 >got & timeout 5 "$HLEXT1" >/dev/null || exit 1
  wait; cmp -s got a.expected || exit 1
  i=$((i + 1))
done
# With no reader, the run waits for one as for a lock: a warning after a second, then a failure
# that names the cause, with nothing written. A reader that comes in time gets the result.
descriptors a stream opens a FIFO by waiting for its reader
"$HLEXT1" >/dev/null 2>err; status=$?
[ $status = 2 ] && [ "$(wc -l <err)" = 2 ] &&
  grep -q "^hlext1: warning: .*(fort.50): waiting for a process to read the FIFO (at most " err &&
  grep -q "^hlext1: statement .*(fort.50): write failed: no process opened the FIFO for reading within " err ||
  exit 1
(sleep 1.5; cat fort.50 >got) & "$HLEXT1" >/dev/null 2>err; status=$?
wait
[ $status = 0 ] && cmp -s got a.expected && grep -q "^hlext1: warning: .*waiting for a process" err
