# Closed standard streams are filled, so that no warning goes into a FIFO result file that took
# the number of standard error.
descriptors streams cannot fill closed descriptors
ln -s last.dat hlext.dat && mkfifo fort.50 || exit 2
cat fort.50 >got & timeout 5 "$HLEXT1" >/dev/null <&- 2>&-
status=$?; wait
[ $status = 0 ] && [ -s got ] && ! grep -q 'warning' got
