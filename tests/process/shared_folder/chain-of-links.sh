# fort.50 at the head of a chain of exactly 40 symbolic links, as many as the system follows:
# the file at its end gets the result, and every link stays a link.
ln -s a.dat hlext.dat; mkdir chain; cp b.expected chain/end.50
ln -s chain/1 fort.50
i=1
while [ $i -lt 39 ]; do ln -s "$((i + 1))" "chain/$i"; i=$((i + 1)); done
ln -s end.50 chain/39
"$HLEXT1" >/dev/null && cmp -s chain/end.50 a.expected && [ -L fort.50 ] || exit 1
i=1
while [ $i -le 39 ]; do [ -L "chain/$i" ] || exit 1; i=$((i + 1)); done
[ -z "$(ls -A chain | grep '\.new$')" ]
