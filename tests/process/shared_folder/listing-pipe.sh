# A listing pipe whose writer stays open is read as it arrives.
descriptors fread waits until its buffer is full or the input ends
mkfifo hlext.dat || exit 2
(cat a.dat; exec sleep 30) >hlext.dat 2>/dev/null & writer=$!
timeout 5 "$HLEXT1" >/dev/null; status=$?
kill $writer
[ $status = 0 ] && cmp fort.50 a.expected
