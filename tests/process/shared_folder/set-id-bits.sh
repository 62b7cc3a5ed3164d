# A result file with set-user-id and set-group-id bits, written in place by its owner (who is
# not root, since root's writes keep them), keeps them.
descriptors a stream keeps no set-id bits
ln -s a.dat hlext.dat; cp b.expected fort.50; ln fort.50 second.50
if [ "$(id -u)" = 0 ]; then
  need setpriv
  chown 65534:65534 fort.50; as="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
chmod 6755 fort.50
$as "$HLEXT1" >/dev/null && cmp -s fort.50 a.expected && [ "$(stat -c %a fort.50)" = 6755 ]
