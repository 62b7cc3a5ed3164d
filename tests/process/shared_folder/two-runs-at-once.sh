# Two runs at once leave one whole result, never a mix.
i=0
while [ $i -lt 100 ]; do
  ln -sf a.dat hlext.dat; "$HLEXT1" >/dev/null & ln -sf b.dat hlext.dat
  "$HLEXT1" >/dev/null & wait
  cmp -s fort.50 a.expected || cmp -s fort.50 b.expected || exit 1
  i=$((i + 1))
done
no_new_files
