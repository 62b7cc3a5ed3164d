# A result file with set-user-id and set-group-id bits, written in place by its owner (who is
# not root, since root's writes keep them), keeps them; where the owner is not in the file's
# group, the system drops the set-group-id bit, and a warning says so.
descriptors a stream keeps no set-id bits
ln -s a.dat hlext.dat; cp b.expected fort.50; ln fort.50 second.50
if [ "$(id -u)" = 0 ]; then
  need setpriv
  chown 65534:65534 fort.50; as="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
chmod 6755 fort.50
$as "$HLEXT1" >/dev/null 2>err && cmp -s fort.50 a.expected && [ "$(stat -c %a fort.50)" = 6755 ] &&
  [ ! -s err ] || exit 1
need_root "give fort.50 a group its owner is not in"
cp b.expected fort.50; chown 65534:0 fort.50; chmod 2775 fort.50
$as "$HLEXT1" >/dev/null 2>err && cmp -s fort.50 a.expected && [ "$(stat -c %a fort.50)" = 775 ] &&
  [ "$(wc -l <err)" = 1 ] &&
  grep -q "^hlext1: warning: .*(fort.50): the set-group-id bit of fort.50 could not be set again after writing and is dropped\$" err
