#!/usr/bin/python3
"""Adds a domain-based namespace with many links to a stopped Samba DC (offline, fast):

    generate_dfs_links.py SMB_CONF NAME LINKS [TARGETS]

Each link /Dir<n>/Link<i> has TARGETS targets (2 by default) and a comment, stored the way
Active Directory stores them (msDFS-Linkv2 objects under the namespace object)."""
import sys
import uuid

import ldb
from samba.auth import system_session
from samba.param import LoadParm
from samba.samdb import SamDB

DOMAIN = "DC=example,DC=com"


def target_list(targets):
    body = "".join('<target state="online">' + t + "</target>" for t in targets)
    size = sum((len(t) + 1) * 2 for t in targets)  # NULs counted, as Windows does
    xml = ('<?xml version="1.0"?>\r\n<targets xmlns="http://schemas.microsoft.com/dfs/2007/03" '
           'majorVersion="2" minorVersion="0" targetCount="%d" totalStringLengthInBytes="%d">'
           '%s</targets>' % (len(targets), size, body))
    return b"\xff\xfe" + xml.encode("utf-16-le")


def element(name, values):
    return ldb.MessageElement(values, ldb.FLAG_MOD_ADD, name)


def main(conf, name, links, per_link):
    lp = LoadParm()
    lp.load(conf)
    # All links sit under one parent, whose one-level index entry lists them all. Without
    # batch_mode, ldb wraps every add in a nested transaction that copies that list in and out
    # of its index cache: quadratic (4,000 links 9 s, 50,000 not in 16 minutes). In batch mode a
    # failed add fails the whole transaction instead, and the list is extended in place; a
    # larger index cache keeps the per-object index keys from crowding it. Linear: 20,000 links
    # in 7 s.
    db = SamDB(url=lp.private_path("sam.ldb"), session_info=system_session(), lp=lp,
               options=["batch_mode:1", "transaction_index_cache_size:200000"])
    config = "CN=Dfs-Configuration,CN=System," + DOMAIN
    anchor = "CN=%s,%s" % (name, config)
    namespace = "CN=%s,%s" % (name, anchor)
    identity = uuid.uuid4().bytes_le
    common = {
        "msDFS-NamespaceIdentityGUIDv2": [identity],
        "msDFS-LastModifiedv2": [b"20261201090000.0Z"],
        "msDFS-Ttlv2": [b"300"],
        "msDFS-Propertiesv2": [b"State=Okay"],
    }
    db.transaction_start()
    msg = ldb.Message(ldb.Dn(db, anchor))
    msg["objectClass"] = element("objectClass", [b"top", b"msDFS-NamespaceAnchor"])
    msg["msDFS-SchemaMajorVersion"] = element("msDFS-SchemaMajorVersion", [b"2"])
    db.add(msg)
    msg = ldb.Message(ldb.Dn(db, namespace))
    msg["objectClass"] = element("objectClass", [b"top", b"msDFS-Namespacev2"])
    for attr, values in common.items():
        msg[attr] = element(attr, values)
    msg["msDFS-SchemaMajorVersion"] = element("msDFS-SchemaMajorVersion", [b"2"])
    msg["msDFS-SchemaMinorVersion"] = element("msDFS-SchemaMinorVersion", [b"0"])
    msg["msDFS-GenerationGUIDv2"] = element("msDFS-GenerationGUIDv2", [uuid.uuid4().bytes_le])
    msg["msDFS-TargetListv2"] = element("msDFS-TargetListv2", [target_list(["\\\\DC1\\" + name])])
    db.add(msg)
    for i in range(links):
        link_id = uuid.uuid4()
        msg = ldb.Message(ldb.Dn(db, "CN=%s,%s" % (link_id, namespace)))
        msg["objectClass"] = element("objectClass", [b"top", b"msDFS-Linkv2"])
        for attr, values in common.items():
            msg[attr] = element(attr, values)
        msg["msDFS-LinkIdentityGUIDv2"] = element("msDFS-LinkIdentityGUIDv2", [link_id.bytes_le])
        msg["msDFS-GenerationGUIDv2"] = element("msDFS-GenerationGUIDv2", [uuid.uuid4().bytes_le])
        path = "/Dir%d/Link%d" % (i // 100, i)
        msg["msDFS-LinkPathv2"] = element("msDFS-LinkPathv2", [path.encode()])
        msg["msDFS-Commentv2"] = element("msDFS-Commentv2", [("Link %d of the bench" % i).encode()])
        targets = ["\\\\FS%d\\Share%d" % ((i + t) % 7, i) for t in range(per_link)]
        msg["msDFS-TargetListv2"] = element("msDFS-TargetListv2", [target_list(targets)])
        db.add(msg)
    db.transaction_commit()


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]) if len(sys.argv) == 5 else 2)
