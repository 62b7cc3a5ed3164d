# A run ended by a signal at any moment leaves one whole result and no other file, and its
# status is 0 exactly when that result is its own.
descriptors only descriptors can hold every signal
cp b.expected fort.50; ln -s a.dat hlext.dat
for mode in replace in-place; do
  [ $mode = in-place ] && ln fort.50 second.50
  i=0
  while [ $i -lt 150 ]; do
    "$HLEXT1" >/dev/null 2>&1 & run=$!
    sleep 0.00$((i % 4))
    kill -$(echo INT TERM HUP USR1 XCPU ALRM | cut -d' ' -f$((i % 6 + 1))) $run 2>/dev/null
    wait $run; status=$?
    if cmp -s fort.50 a.expected; then [ $status = 0 ] || exit 1
    else cmp -s fort.50 b.expected && [ $status != 0 ] || exit 1; fi
    no_new_files || exit 1
    cp b.expected fort.50
    i=$((i + 1))
  done
done
