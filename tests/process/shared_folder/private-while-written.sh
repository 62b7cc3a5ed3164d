# A private result file is never readable by another user while it is written.
descriptors a stream cannot create a private file
need inotifywait setpriv; need_root "watch the folder as another user"
ln -s a.dat hlext.dat; cp b.expected fort.50; chmod 600 fort.50; chmod 755 .
mkfifo events; : >watcher; chmod 666 events watcher
setpriv --reuid=65534 --regid=65534 --clear-groups sh -c '
  inotifywait -m -q -e create --format %f . >events & echo $! >watcher
  while read f; do cat "$f" >/dev/null 2>&1 && echo opened || echo refused; done <events' >watched &
wait_for -s watcher
sleep 0.5; i=0
while [ $i -lt 40 ]; do "$HLEXT1" >/dev/null || exit 1; i=$((i + 1)); done
sleep 0.5; kill "$(cat watcher)"; wait
[ "$(stat -c %a fort.50)" = 600 ] && grep -q refused watched && ! grep -q opened watched
