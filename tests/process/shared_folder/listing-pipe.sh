# A listing pipe whose writer stays open is read as it arrives.
descriptors fread waits until its buffer is full or the input ends
mkfifo hlext.dat || exit 2
(cat a.dat; exec sleep 30) >hlext.dat 2>/dev/null & writer=$!
timeout 5 "$HLEXT1" >/dev/null; status=$?
kill $writer
[ $status = 0 ] && cmp fort.50 a.expected || exit 1
# fort.50 replaced by a folder while the run waits for the rest of the listing.
rm -f hlext.dat fort.50; cp b.expected fort.50; mkfifo hlext.dat
(head -c 1000 a.dat; sleep 1; tail -c +1001 a.dat) >hlext.dat &
(sleep 0.5; rm fort.50; mkdir fort.50) &
timeout 5 "$HLEXT1" >/dev/null 2>err; status=$?
wait
[ $status = 2 ] && [ -d fort.50 ] && grep -q '^hlext1: statement .*(fort.50): write failed: Is a directory$' err
