#!/usr/bin/env bash
# A throwaway directory server for the LDAP plug-in tests: slapd on 127.0.0.1 with its own
# configuration and database under DIR, loaded with two users and a group.
#   slapd.sh start DIR     new database, free port (DIR/port), pid in DIR/pid, log DIR/slapd.log,
#                          and a copy of this script as DIR/slapd.sh
#   slapd.sh restart DIR   stops the server and starts it again on the same port and data
#   slapd.sh stop DIR      stops the server started here (by its pid)
# The log is at level "stats", so the tests can count binds in it.
set -euo pipefail
action=$1
dir=$2
suffix="dc=example,dc=com"

write_config() {
  cat >"$dir/slapd.conf" <<CONF
include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include /etc/ldap/schema/inetorgperson.schema
pidfile $dir/slapd.pid
argsfile $dir/slapd.args
modulepath /usr/lib/ldap
moduleload back_mdb
database mdb
maxsize 10485760
suffix "$suffix"
rootdn "cn=admin,$suffix"
rootpw adminpass
directory $dir/db
access to attrs=userPassword by anonymous auth by * none
access to * by * read
CONF
  cat >"$dir/data.ldif" <<LDIF
dn: $suffix
objectClass: dcObject
objectClass: organization
dc: example
o: Example

dn: ou=people,$suffix
objectClass: organizationalUnit
ou: people

dn: ou=groups,$suffix
objectClass: organizationalUnit
ou: groups

dn: uid=ann,ou=people,$suffix
objectClass: inetOrgPerson
uid: ann
cn: Ann
sn: A
employeeType: staff
userPassword: annpass

dn: uid=bob,ou=people,$suffix
objectClass: inetOrgPerson
uid: bob
cn: Bob
sn: B
userPassword: bobpass

dn: cn=staff,ou=groups,$suffix
objectClass: groupOfNames
cn: staff
member: uid=ann,ou=people,$suffix
LDIF
}

free_port() {
  python3 - <<'PY'
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
PY
}

# Bounded wait until the port accepts connections (up) or refuses them (down).
wait_port() {
  local want=$1 port
  port=$(cat "$dir/port")
  for _ in $(seq 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      [ "$want" = up ] && return 0
    else
      [ "$want" = down ] && return 0
    fi
    sleep 0.1
  done
  echo "slapd on port $port not $want" >&2
  return 1
}

# slapd keeps none of the caller's descriptors: started from a test, an inherited copy of the
# test's output pipe would keep ctest waiting for the end of that output.
run() {
  (
    for fd in /proc/self/fd/*; do
      fd=${fd##*/}
      [ "$fd" -gt 2 ] && eval "exec $fd>&-" 2>/dev/null
    done
    exec /usr/sbin/slapd -d stats -h "ldap://127.0.0.1:$(cat "$dir/port")/" -f "$dir/slapd.conf" \
      </dev/null >>"$dir/slapd.log" 2>&1
  ) &
  echo $! >"$dir/pid"
  wait_port up
}

stop() {
  [ -f "$dir/pid" ] || return 0
  local pid
  pid=$(cat "$dir/pid")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$dir/pid"
}

case $action in
  start)
    [ -d "$dir" ] && stop
    rm -rf "$dir"
    mkdir -p "$dir/db"
    write_config
    # The tests restart the server through this copy.
    cp "$0" "$dir/slapd.sh"
    /usr/sbin/slapadd -q -f "$dir/slapd.conf" -l "$dir/data.ldif" >/dev/null 2>&1
    free_port >"$dir/port"
    run
    ;;
  restart)
    stop
    wait_port down
    run
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: $0 start|restart|stop DIR" >&2
    exit 2
    ;;
esac
