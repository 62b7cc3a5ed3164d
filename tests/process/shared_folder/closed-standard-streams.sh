# Closed standard streams are filled, so that no warning goes into a FIFO result file.
descriptors streams cannot fill closed descriptors
ln -s none.dat hlext.dat && mkfifo fort.50 || exit 2
cat fort.50 >got & timeout 5 "$HLEXT1" >&- 2>&-
wait
[ "$(cat got)" = "Eigenvectors are not found" ]
