# A listing pipe, which cannot be read again, gets the same lines as the file where a failed
# search says where its label does stand: the count line four columns to the left (the end of
# the listing), the heading two columns to the right past the records its search reads (a
# refusal, which reads on), and the count line past those records after a count mentioned in
# prose, which the count line in its own columns is named before.
sed '/^          RHF /s/^    //' a.dat >shifted.dat
{ sed '/EIGE/,$d' a.dat; cat none.dat; sed -n '/EIGE/,$p' a.dat | sed '1s/^/  /'; } >late.dat
{ echo '   SEE RHF  = 3 BELOW'; cat none.dat a.dat; } >mentioned.dat
for listing in shifted late mentioned; do
  rm -f hlext.dat fort.50
  cp $listing.dat hlext.dat
  "$HLEXT1" >file.out 2>file.err; echo "status $?" >>file.out
  cat fort.50 >>file.out 2>/dev/null
  grep -q '; record [0-9]* holds ' file.err || { echo "$listing: no near miss"; exit 1; }
  count=$(grep -n '^          RHF ' $listing.dat | cut -d: -f1)
  [ $listing != mentioned ] || grep -q "; record $count holds it" file.err ||
    { echo "$listing: not the count line of record $count"; cat file.err; exit 1; }
  rm -f hlext.dat fort.50
  mkfifo hlext.dat || exit 2
  cat $listing.dat >hlext.dat &
  timeout 5 "$HLEXT1" >pipe.out 2>pipe.err; echo "status $?" >>pipe.out
  wait
  cat fort.50 >>pipe.out 2>/dev/null
  cmp file.err pipe.err && cmp file.out pipe.out || { cat file.err pipe.err; exit 1; }
done
# A writer that keeps its end open after lines without the label: the look after the refused
# search takes what has arrived and does not wait for more.
descriptors fread waits until its buffer is full or the input ends
rm -f hlext.dat fort.50
mkfifo hlext.dat || exit 2
(cat none.dat none.dat; exec sleep 30) >hlext.dat 2>/dev/null & writer=$!
timeout 5 "$HLEXT1" >/dev/null 2>err; status=$?
kill $writer
[ $status != 124 ] && grep -q '^hlext1: warning: .*: no "RHF " in columns' err
