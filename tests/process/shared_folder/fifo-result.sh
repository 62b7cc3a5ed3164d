# A FIFO result file reaches its reader through one open.
ln -s a.dat hlext.dat && mkfifo fort.50 || exit 2
i=0
while [ $i -lt 20 ]; do
  cat fort.50 >got & timeout 5 "$HLEXT1" >/dev/null || exit 1
  wait; cmp -s got a.expected || exit 1
  i=$((i + 1))
done
