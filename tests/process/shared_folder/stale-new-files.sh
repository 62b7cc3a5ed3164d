# Files an earlier run or another program left beside fort.50 do not stop a run.
ln -s a.dat hlext.dat; cp b.expected fort.50
for name in .fort.50 .fort.50.new .fort.50..new; do echo left >"$name"; done
"$HLEXT1" >/dev/null && cmp -s fort.50 a.expected || exit 1
[ "$(cat .fort.50 .fort.50.new .fort.50..new)" = "left
left
left" ] && [ "$(ls -A | grep -c '^\.fort\.50')" = 3 ]
