#!/usr/bin/python3
"""Loads the sample forest's example.com objects into a provisioned, stopped Samba DC.

usage: load_sample.py SMB_CONF SAMPLE_LDIF

What Samba provisions itself (the domain head, the schema, built-in containers, this DC) is
left as it is; everything else of example.com is added: OUs, users, computers, groups with
their members, sites and subnets, and the DFS namespaces with their links. The child domain
needs a DC of its own and is left out. Attributes the server keeps for itself (GUIDs, the
object category, password times) are dropped so that its schema checks accept the objects.
"""
import sys

import ldb
from samba.auth import system_session
from samba.param import LoadParm
from samba.samdb import SamDB

DOMAIN = "dc=example,dc=com"
SKIPPED_BELOW = ("dc=sales,dc=example,dc=com", "cn=schema,cn=configuration,dc=example,dc=com")
SKIPPED = ("cn=sales,cn=partitions,", "cn=salesdc1,cn=servers,")
SERVER_OWNED = {"objectguid", "objectcategory", "pwdlastset", "distinguishedname",
                "systemflags", "fsmoroleowner"}


def records(text):
    """The LDIF records of text, one string each, without the version line or the rootDSE."""
    chunk = []
    for line in text.splitlines() + [""]:
        # Comments; and objectSid, which the DC gives its domains itself and whose binary
        # value Samba's LDIF reader does not take.
        if line.startswith("#") or line.lower().startswith("objectsid:"):
            continue
        if line.strip():
            chunk.append(line)
            continue
        if chunk and not chunk[0].startswith("version:") and chunk[0].strip() != "dn:":
            yield "\n".join(chunk) + "\n"
        chunk = []


def wanted(dn):
    key = str(dn).lower()
    if not key.endswith(DOMAIN):
        return False
    if any(key == s or key.endswith("," + s) for s in SKIPPED_BELOW):
        return False
    return not any(s in key for s in SKIPPED)


def exists(db, dn):
    try:
        return len(db.search(base=dn, scope=ldb.SCOPE_BASE, attrs=["dn"])) == 1
    except ldb.LdbError as e:
        if e.args[0] == ldb.ERR_NO_SUCH_OBJECT:
            return False
        raise


def main(conf, sample):
    lp = LoadParm()
    lp.load(conf)
    db = SamDB(url=lp.private_path("sam.ldb"), session_info=system_session(), lp=lp)
    members = []
    db.transaction_start()
    try:
        for text in records(open(sample, encoding="utf-8").read()):
            for _, msg in db.parse_ldif(text):
                if not wanted(msg.dn) or exists(db, msg.dn):
                    continue
                for name in list(msg.keys()):
                    if name.lower() in SERVER_OWNED:
                        del msg[name]
                    elif name.lower() == "member":
                        # Groups name each other: members go in once every group exists.
                        members.append((msg.dn, [str(v) for v in msg[name]]))
                        del msg[name]
                if "group" in [str(c) for c in msg.get("objectClass", [])] and \
                        "sAMAccountName" not in msg:
                    msg["sAMAccountName"] = ldb.MessageElement(
                        msg.dn.get_rdn_value(), ldb.FLAG_MOD_ADD, "sAMAccountName")
                db.add(msg)
        for dn, values in members:
            change = ldb.Message(dn)
            change["member"] = ldb.MessageElement(values, ldb.FLAG_MOD_ADD, "member")
            db.modify(change)
        db.transaction_commit()
    except Exception:
        db.transaction_cancel()
        raise


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
