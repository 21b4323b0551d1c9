#!/bin/sh
# A private CUPS server for the spooler tests: a Unix socket in DIR, no
# network, and a fixed set of queues whose jobs land in DIR/out/QUEUE.bin.
# usage: cups_server.sh start DIR [selection|held] | add DIR QUEUE MAKE-AND-MODEL | stop DIR
# "selection" makes a small set for the printer-selection test instead;
# "held" one usb:// queue for the emulated KQ-10 that holds every job.
# Without cupsd it starts nothing and the tests skip.
set -e
cmd=$1
dir=$2
[ -n "$dir" ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }

add_queue() {  # name, make-and-model, [stopped|rejecting|held|-], [device URI]
    q=$1
    nick=$2
    uri=${4:-file:$dir/out/$q.bin}
    cat >"$dir/ppd/$q.ppd" <<EOC
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TEST.PPD"
*Manufacturer: "Test"
*Product: "($nick)"
*ModelName: "$nick"
*ShortNickName: "$nick"
*NickName: "$nick"
*PSVersion: "(3010.000) 0"
*cupsVersion: 2.4
*cupsFilter: "application/vnd.cups-raw 0 $dir/filter/rawcopy"
*OpenUI *PageSize: PickOne
*DefaultPageSize: Letter
*PageSize Letter/Letter: ""
*CloseUI: *PageSize
EOC
    # lpadmin warns that PPD drivers are deprecated; keep that out of the test log.
    lpadmin -h "$dir/cups.sock" -p "$q" -D "$nick" -v "$uri" -P "$dir/ppd/$q.ppd" -E \
        2>>"$dir/log/lpadmin"
    case ${3:-} in
    stopped) cupsdisable -h "$dir/cups.sock" "$q" ;;
    rejecting) cupsreject -h "$dir/cups.sock" "$q" ;;
    held) lpadmin -h "$dir/cups.sock" -p "$q" -o job-hold-until-default=indefinite ;;
    esac
}

case $cmd in
start)
    if ! command -v cupsd >/dev/null 2>&1 || ! command -v lpadmin >/dev/null 2>&1; then
        echo "cupsd or lpadmin is not installed: no CUPS server" >&2
        rm -rf "$dir"
        exit 0
    fi
    [ ! -f "$dir/cupsd.pid" ] || "$0" stop "$dir" || true
    rm -rf "$dir"
    mkdir -p "$dir/etc" "$dir/spool" "$dir/cache" "$dir/state" "$dir/log" "$dir/tmp" \
        "$dir/out" "$dir/filter" "$dir/ppd"
    chmod 755 "$dir"
    # The server's programs are the system's, but for a usb backend where the
    # system has none (it comes with the full cups package): a stand-in that
    # writes a queue's jobs to DIR/out/QUEUE.bin, so usb:// queues can exist.
    mkdir -p "$dir/bin/backend"
    for entry in /usr/lib/cups/*; do
        [ "$(basename "$entry")" = backend ] || ln -s "$entry" "$dir/bin/"
    done
    for entry in /usr/lib/cups/backend/*; do
        ln -s "$entry" "$dir/bin/backend/"
    done
    if [ ! -e "$dir/bin/backend/usb" ]; then
        printf '#!/bin/sh\n[ $# -ge 5 ] || exit 0\nif [ -n "$6" ]; then exec cat -- "$6"; fi >"%s/out/$PRINTER.bin"\nexec cat >"%s/out/$PRINTER.bin"\n' \
            "$dir" "$dir" >"$dir/bin/backend/usb"
        chmod 700 "$dir/bin/backend/usb"
    fi
    # As root the jobs run as lp; otherwise everything runs as the caller.
    users="User lp
Group lp
SystemGroup root"
    if [ "$(id -u)" -ne 0 ]; then
        users="SystemGroup $(id -gn)"
    fi
    chmod 777 "$dir/out"
    cat >"$dir/etc/cups-files.conf" <<EOC
ServerRoot $dir/etc
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
ServerBin $dir/bin
DataDir /usr/share/cups
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
FileDevice Yes
$users
EOC
    cat >"$dir/etc/cupsd.conf" <<EOC
LogLevel warn
Listen $dir/cups.sock
Browsing Off
BrowseLocalProtocols none
DefaultAuthType None
WebInterface No
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow from @LOCAL
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOC
    # A raw queue writes its file: device only when a filter runs.
    printf '#!/bin/sh\nif [ -n "$6" ]; then exec cat -- "$6"; else exec cat; fi\n' \
        >"$dir/filter/rawcopy"
    chmod 755 "$dir/filter/rawcopy"
    cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" </dev/null \
        >"$dir/log/stdout" 2>&1 &
    echo $! >"$dir/cupsd.pid"
    # lpstat exits 0 even without a scheduler: wait for its words.
    i=0
    until lpstat -h "$dir/cups.sock" -r 2>/dev/null | grep -q "is running"; do
        i=$((i + 1))
        [ $i -lt 200 ] || { echo "cupsd did not start" >&2; cat "$dir/log/stdout" >&2; exit 1; }
        sleep 0.05
    done
    if [ "${3:-}" = held ]; then
        add_queue Zarvel_held "Zarvel KQ-10" held "usb://Zarvel/KQ-10?serial=KQ10SN0001"
        exit 0
    fi
    if [ "${3:-}" = selection ]; then
        add_queue a_stopped "Zarvel KQ-30" stopped
        add_queue b_lower "zarvel kq-20"
        add_queue c_rejecting "Zarvel ZT-7" rejecting
        add_queue d_office "Generic Office Laser"
        exit 0
    fi
    add_queue Zarvel_KQ-10 "Zarvel KQ-10"
    add_queue Zarvel_ZT-5 "Zarvel ZT-5"
    add_queue zarvel_lower "zarvel kq-20"
    add_queue Zarvel_stopped "Zarvel KQ-30" stopped
    add_queue Zarvel_rejecting "Zarvel ZT-7" rejecting
    add_queue Office_Laser "Generic Office Laser"
    # The emulated USB printer's queue, as the CUPS usb back end would name it.
    # Only a cupsd run as root may use the usb back end; the tests that need
    # this queue skip without it.
    add_queue Zarvel_usb "Zarvel KQ-10" - "usb://Zarvel/KQ-10?serial=KQ10SN0001" ||
        echo "no usb:// queue: cupsd does not run as root" >&2
    for q in Job_exact Job_plus_one Job_cancel Job_empty Job_failed Job_perf Job_platform; do
        add_queue "$q" "Zarvel KQ-10"
    done
    ;;
add)
    add_queue "$3" "$4"
    ;;
stop)
    [ -f "$dir/cupsd.pid" ] || exit 0
    pid=$(cat "$dir/cupsd.pid")
    kill "$pid" 2>/dev/null || true
    while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
    rm -f "$dir/cupsd.pid"
    ;;
*)
    echo "usage: $0 start|add|stop DIR ..." >&2
    exit 2
    ;;
esac
