#!/usr/bin/env python3
"""Writes example.ldif, the bundled demo forest. Run it after changing the tables below:
    python3 samples/generate_example.py > samples/example.ldif
Target lists are stored as Active Directory keeps them (UTF-16LE XML with a byte-order mark),
so each is written in base64 with a comment showing its text. A Windows 2000 mode namespace is
one fTDfs object whose pKT attribute holds the whole namespace in binary, also in base64."""
import base64
import struct
import uuid

BASE = "DC=example,DC=com"
SALES = "DC=sales,DC=example,DC=com"
CONFIG = "CN=Configuration," + BASE
SCHEMA = "CN=Schema," + CONFIG
DC1_SETTINGS = "CN=NTDS Settings,CN=DC1,CN=Servers,CN=Default-First-Site-Name,CN=Sites," + CONFIG
DC2_SETTINGS = "CN=NTDS Settings,CN=SALESDC1,CN=Servers,CN=Default-First-Site-Name,CN=Sites," + CONFIG
NS = uuid.UUID("6ba7b811-9dad-11d1-80b4-00c04fd430c8")

# domain DN -> [(namespace, comment, root targets, [(link path, comment or None, targets)])]
NAMESPACES = {
    BASE: [
        ("Public", "Company public share", [r"\\DC1\Public", r"\\DC2\Public"], [
            ("/Software", 'Installers, "current" and older', [r"\\FS1\Software", r"\\FS2\Software", r"\\FS3\Software\Mirror"]),
            ("/Data/Projects", None, [r"\\FS1\Projects"]),
            ("/Data/Templates", "", [r"\\FS2\Templates"]),
            ("/Policies", 'Read "before" you sign', [r"\\FS1\Policies"]),
        ]),
        ("Archive", "Nothing linked yet", [r"\\DC1\Archive"], []),
        ("Projets", "Équipe de Paris", [r"\\DC1\Projets"], [
            ("/Résumés", "CVs et lettres", [r"\\FS-PARIS\Resumes"]),
            ("/Ελληνικά", "Documents Ελληνικά", [r"\\FS-ATHENS\Docs", r"\\FS-PARIS\Grec"]),
        ]),
        ("Users", None, [r"\\DC1\Users"], [
            ("/alice", "Home of Alice", [r"\\FS1\home$\alice"]),
            ("/bob", "Home of Bob", [r"\\FS2\home$\bob"]),
        ]),
    ],
    SALES: [
        ("Sales", "Sales department", [r"\\SALESDC1\Sales"], [
            ("/Reports", "Quarterly reports", [r"\\SALESFS\Reports", r"\\FS1\SalesReports"]),
        ]),
    ],
}

# Windows 2000 mode namespaces, one fTDfs object each: domain DN -> [(namespace, comment,
# root targets, [(link path, comment, state, TTL, [(target, state, priority class, rank)])])].
# States as the pKT holds them: a link 1 (okay) or 3 (offline), a target 2 (online) or 1.
V1_NAMESPACES = {
    BASE: [
        ("Legacy", "Windows 2000 mode namespace", [r"\\DC1\Legacy", r"\\DC2\Legacy"], [
            (r"Apps", "Old applications", 1, 1800,
             [(r"\\FS1\Apps", 2, 0, 0), (r"\\FS2\Apps", 1, 0, 0)]),
            (r"Scans\2019", "", 1, 1800, [(r"\\FS2\Scans\2019", 2, 0, 0)]),
            (r"Manuals", "Printed once, kept offline", 3, 600,
             [(r"\\FS1\Manuals", 2, 0, 0), (r"\\FS3\Manuals", 2, 4, 2)]),
        ]),
    ],
}

# Properties beyond the defaults, so that a backup's properties file has something to keep:
# per link path its TTL and msDFS-Propertiesv2 values, per target its attributes.
LINK_PROPERTIES = {
    "/Software": ("1800", ["State=Okay", "InsiteReferral=on"]),
    "/Policies": ("600", ["State=Offline", "TargetFailback=on"]),
}
TARGET_ATTRIBUTES = {
    r"\\FS2\Software": 'state="online" priorityClass="globalHigh"',
    r"\\FS3\Software\Mirror": 'state="offline" priorityClass="siteCostLow" priorityRank="3"',
}


def guid(name):
    return uuid.uuid5(NS, name)


def safe(value):
    return value == "" or (value.isascii() and value[0] not in " :<" and value[-1] != " "
                           and "\n" not in value and "\r" not in value and "\0" not in value)


def fold(line):
    out, width = [], 76
    while len(line) > width:
        out.append(line[:width])
        line = " " + line[width:]
    out.append(line)
    return "\n".join(out)


def attr(name, value):
    if isinstance(value, bytes):
        return fold(f"{name}:: {base64.b64encode(value).decode()}")
    if safe(value):
        return fold(f"{name}: {value}")
    return fold(f"{name}:: {base64.b64encode(value.encode()).decode()}")


def target_list(targets):
    # Windows counts each string's terminating NUL.
    total = sum(len(t.encode("utf-16-le")) + 2 for t in targets)
    xml = ('<?xml version="1.0"?>\r\n<targets xmlns="http://schemas.microsoft.com/dfs/2007/03" '
           f'majorVersion="2" minorVersion="0" targetCount="{len(targets)}" '
           f'totalStringLengthInBytes="{total}">')
    for t in targets:
        attributes = TARGET_ATTRIBUTES.get(t, 'state="online"')
        xml += f'<target {attributes}>{t}</target>'
    xml += "</targets>"
    return b"\xff\xfe" + xml.encode("utf-16-le")


def entry(dn, *pairs, comment=None):
    lines = []
    if comment:
        lines.extend("# " + c for c in comment)
    lines.append(attr("dn", dn))
    for name, values in pairs:
        if not isinstance(values, list):
            values = [values]
        for v in values:
            lines.append(attr(name, v))
    print("\n".join(lines) + "\n")


def targets_comment(targets):
    return ["msDFS-TargetListv2 holds: " + ", ".join(targets)]


def domain_sid(n):
    """S-1-5-21-1004336348-1177238915-68200332(9+n) as Active Directory stores a SID."""
    subs = [21, 1004336348, 1177238915, 682003329 + n]
    return bytes([1, len(subs), 0, 0, 0, 0, 0, 5]) + b"".join(x.to_bytes(4, "little") for x in subs)


def domain(dn, dns, netbios, sid):
    entry(dn, ("objectClass", ["top", "domain", "domainDNS"]),
          ("objectCategory", "CN=Domain-DNS," + SCHEMA),
          ("dc", dns.split(".")[0]),
          ("objectGUID", guid(dn).bytes_le),
          ("objectSid", domain_sid(sid)),
          ("fSMORoleOwner", DC1_SETTINGS if dn == BASE else DC2_SETTINGS),
          ("nTMixedDomain", "0"),
          ("description", f"The {dns} domain"))
    entry("CN=Users," + dn, ("objectClass", ["top", "container"]),
          ("objectCategory", "CN=Container," + SCHEMA))
    entry("CN=Computers," + dn, ("objectClass", ["top", "container"]),
          ("objectCategory", "CN=Container," + SCHEMA))
    entry("CN=System," + dn, ("objectClass", ["top", "container"]),
          ("objectCategory", "CN=Container," + SCHEMA))
    entry("CN=Dfs-Configuration,CN=System," + dn, ("objectClass", ["top", "dfsConfiguration"]),
          ("objectCategory", "CN=Dfs-Configuration," + SCHEMA))


def namespaces(domain_dn):
    config = "CN=Dfs-Configuration,CN=System," + domain_dn
    for name, comment, roots, links in NAMESPACES[domain_dn]:
        anchor = f"CN={name},{config}"
        ns_dn = f"CN={name},{anchor}"
        ns_guid = guid(ns_dn)
        entry(anchor, ("objectClass", ["top", "msDFS-NamespaceAnchor"]),
              ("msDFS-SchemaMajorVersion", "2"))
        pairs = [("objectClass", ["top", "msDFS-Namespacev2"]),
                 ("msDFS-SchemaMajorVersion", "2"), ("msDFS-SchemaMinorVersion", "0"),
                 ("msDFS-GenerationGUIDv2", guid(ns_dn + "#gen").bytes_le),
                 ("msDFS-NamespaceIdentityGUIDv2", ns_guid.bytes_le),
                 ("msDFS-LastModifiedv2", "20261201090000.0Z"),
                 ("msDFS-Ttlv2", "300"), ("msDFS-Propertiesv2", "State=Okay")]
        if comment is not None:
            pairs.append(("msDFS-Commentv2", comment))
        pairs.append(("msDFS-TargetListv2", target_list(roots)))
        entry(ns_dn, *pairs, comment=targets_comment(roots))
        for path, link_comment, targets in links:
            link_guid = guid(ns_dn + path)
            pairs = [("objectClass", ["top", "msDFS-Linkv2"]),
                     ("msDFS-LinkPathv2", path),
                     ("msDFS-LinkIdentityGUIDv2", link_guid.bytes_le),
                     ("msDFS-GenerationGUIDv2", guid(ns_dn + path + "#gen").bytes_le),
                     ("msDFS-NamespaceIdentityGUIDv2", ns_guid.bytes_le),
                     ("msDFS-LastModifiedv2", "20261201090000.0Z"),
                     ("msDFS-Ttlv2", LINK_PROPERTIES.get(path, ("1800",))[0]),
                     ("msDFS-Propertiesv2", LINK_PROPERTIES.get(path, (None, ["State=Okay"]))[1])]
            if link_comment:  # a link without a comment has no comment attribute at all
                pairs.append(("msDFS-Commentv2", link_comment))
            pairs.append(("msDFS-TargetListv2", target_list(targets)))
            entry(f"CN={link_guid},{ns_dn}", *pairs, comment=targets_comment(targets))


def pkt_text(text):
    data = text.encode("utf-16-le")
    return struct.pack("<H", len(data)) + data


def pkt_entry(entry_guid, prefix, entry_type, state, comment, targets, ttl):
    """One root or link as the pKT holds it; targets are (unc, state, priority class, rank)."""
    stamp = 0x01DB4A0C2F6E8000  # 2024-12-31 as a FILETIME
    listed = struct.pack("<I", len(targets))
    for unc, target_state, priority_class, rank in targets:
        server, share = unc.lstrip("\\").split("\\", 1)
        # A target's time stamp holds its priority when no bit above the first byte is set.
        body = (struct.pack("<QII", (priority_class << 5) | rank, target_state, 2)
                + pkt_text(server) + pkt_text(share))
        listed += struct.pack("<I", len(body)) + body
    return (entry_guid.bytes_le + pkt_text(prefix) + pkt_text(prefix)
            + struct.pack("<II", entry_type, state) + pkt_text(comment)
            + struct.pack("<QQQI", stamp, stamp, stamp, 3)
            + struct.pack("<I", len(listed)) + listed + struct.pack("<II", 4, 0)
            + struct.pack("<I", ttl))


def pkt_element(name, data):
    return pkt_text(name) + struct.pack("<I", len(data)) + data


def pkt(netbios, name, comment, roots, links):
    """The pKT value of a Windows 2000 mode namespace: the root, then each link."""
    ns_dn = "pkt:" + netbios + "\\" + name
    root_prefix = "\\" + netbios + "\\" + name
    elements = [pkt_element("\\domainroot", pkt_entry(
        guid(ns_dn), root_prefix, 0x81, 1, comment, [(t, 2, 0, 0) for t in roots], 300))]
    for path, link_comment, state, ttl, targets in links:
        link_guid = guid(ns_dn + "\\" + path)
        elements.append(pkt_element("\\domainroot\\" + str(link_guid), pkt_entry(
            link_guid, root_prefix + "\\" + path, 0x1, state, link_comment, targets, ttl)))
    return struct.pack("<II", 0, len(elements)) + b"".join(elements)


def v1_namespaces(domain_dn, netbios):
    config = "CN=Dfs-Configuration,CN=System," + domain_dn
    for name, comment, roots, links in V1_NAMESPACES.get(domain_dn, []):
        dn = f"CN={name},{config}"
        shown = [f"{path}: " + ", ".join(t[0] for t in targets) for path, _, _, _, targets in links]
        entry(dn, ("objectClass", ["top", "fTDfs"]),
              ("remoteServerName", roots + ["*"]),
              ("pKTGuid", guid(dn + "#pkt").bytes_le),
              ("pKT", pkt(netbios, name, comment, roots, links)),
              comment=["pKT holds the root (" + ", ".join(roots) + ") and the links " + "; ".join(shown)])


def main():
    print("# Kestrune demo forest: example.com with the child domain sales.example.com.")
    print("# Written by samples/generate_example.py. The rootDSE's kestruneLocal* attributes hold what")
    print("# only the local computer knows; a real directory ignores them.\n")
    print("version: 1\n")
    entry("", ("defaultNamingContext", BASE), ("rootDomainNamingContext", BASE),
          ("configurationNamingContext", CONFIG), ("schemaNamingContext", SCHEMA),
          ("dsServiceName", DC1_SETTINGS), ("dnsHostName", "dc1.example.com"),
          ("kestruneLocalUserName", "CN=Administrator,CN=Users," + BASE),
          ("kestruneLocalComputerName", "CN=WS01,CN=Computers," + BASE),
          ("kestruneLocalSiteName", "Default-First-Site-Name"))
    domain(BASE, "example.com", "EXAMPLE", 1)
    entry("CN=Administrator,CN=Users," + BASE, ("objectClass", ["top", "person", "organizationalPerson", "user"]),
          ("objectCategory", "CN=Person," + SCHEMA), ("sAMAccountName", "Administrator"),
          ("pwdLastSet", "134087616000000000"), ("uSNCreated", "12345"), ("badPwdCount", "3"))
    entry("OU=Domain Controllers," + BASE, ("objectClass", ["top", "organizationalUnit"]))
    computer = ("objectClass", ["top", "person", "organizationalPerson", "user", "computer"])
    entry("CN=DC1,OU=Domain Controllers," + BASE, computer, ("objectCategory", "CN=Computer," + SCHEMA),
          ("sAMAccountName", "DC1$"), ("operatingSystem", "Windows Server 2022 Datacenter"),
          ("dNSHostName", "dc1.example.com"))
    for name, system in (("FS1", "Windows Server 2019 Standard"), ("FS2", "Windows Server 2022 Standard"),
                         ("KIOSK", "Windows 10 Enterprise LTSC")):
        entry(f"CN={name},CN=Computers," + BASE, computer, ("objectCategory", "CN=Computer," + SCHEMA),
              ("sAMAccountName", name + "$"), ("operatingSystem", system))
    entry("CN=WS01,CN=Computers," + BASE,
          ("objectClass", ["top", "person", "organizationalPerson", "user", "computer"]),
          ("objectCategory", "CN=Computer," + SCHEMA), ("sAMAccountName", "WS01$"),
          ("operatingSystem", "Windows 11 Enterprise"))
    staff = "OU=Staff," + BASE
    entry(staff, ("objectClass", ["top", "organizationalUnit"]), ("ou", "Staff"))
    person = ("objectClass", ["top", "person", "organizationalPerson", "user"])
    for name, pwd in (("Ann Lee", "134080000000000000"), ("Bob Stone", "0"), ("Carol King", "134085000000000000")):
        entry(f"CN={name},{staff}", person, ("objectCategory", "CN=Person," + SCHEMA),
              ("sAMAccountName", name.split()[0].lower()), ("pwdLastSet", pwd))
    group = ("objectClass", ["top", "group"])
    category = ("objectCategory", "CN=Group," + SCHEMA)
    # Staff and Managers contain each other; Everyone nests Staff; Staff also holds a computer.
    entry(f"CN=Staff,{staff}", group, category, ("groupType", "-2147483646"),
          ("member", [f"CN=Ann Lee,{staff}", f"CN=Bob Stone,{staff}", f"CN=Managers,{staff}",
                      "CN=WS01,CN=Computers," + BASE]))
    entry(f"CN=Managers,{staff}", group, category, ("groupType", "-2147483646"),
          ("member", [f"CN=Carol King,{staff}", f"CN=Ann Lee,{staff}", f"CN=Staff,{staff}"]))
    entry(f"CN=Everyone,{staff}", group, category, ("groupType", "-2147483646"),
          ("member", [f"CN=Staff,{staff}", "CN=Administrator,CN=Users," + BASE]))
    namespaces(BASE)
    v1_namespaces(BASE, "EXAMPLE")
    domain(SALES, "sales.example.com", "SALES", 2)
    namespaces(SALES)
    entry(CONFIG, ("objectClass", ["top", "configuration"]))
    entry("CN=Partitions," + CONFIG, ("objectClass", ["top", "crossRefContainer"]))
    for dn, dns, netbios in ((BASE, "example.com", "EXAMPLE"), (SALES, "sales.example.com", "SALES")):
        entry(f"CN={netbios},CN=Partitions," + CONFIG, ("objectClass", ["top", "crossRef"]),
              ("nCName", dn), ("dnsRoot", dns), ("nETBIOSName", netbios), ("systemFlags", "3"))
    entry("CN=Sites," + CONFIG, ("objectClass", ["top", "sitesContainer"]))
    site = "CN=Default-First-Site-Name,CN=Sites," + CONFIG
    entry(site, ("objectClass", ["top", "site"]))
    entry("CN=Servers," + site, ("objectClass", ["top", "serversContainer"]))
    branch = "CN=Paris,CN=Sites," + CONFIG
    entry(branch, ("objectClass", ["top", "site"]), ("description", "Paris office"))
    entry("CN=Servers," + branch, ("objectClass", ["top", "serversContainer"]))
    entry("CN=Subnets,CN=Sites," + CONFIG, ("objectClass", ["top", "subnetContainer"]))
    for net, where in (("10.0.0.0/16", site), ("10.1.0.0/16", branch)):
        entry(f"CN={net},CN=Subnets,CN=Sites," + CONFIG, ("objectClass", ["top", "subnet"]),
              ("siteObject", where))
    for server, host in (("DC1", "dc1.example.com"), ("SALESDC1", "salesdc1.sales.example.com")):
        entry(f"CN={server},CN=Servers," + site, ("objectClass", ["top", "server"]), ("dNSHostName", host))
        entry(f"CN=NTDS Settings,CN={server},CN=Servers," + site, ("objectClass", ["top", "applicationSettings", "nTDSDSA"]))
    entry(SCHEMA, ("objectClass", ["top", "dMD"]), ("fSMORoleOwner", DC1_SETTINGS))
    # Each class's own mandatory and optional attributes, in schema order.
    attributes = {
        "domainDNS": (["dc"], ["nTMixedDomain", "fSMORoleOwner", "description", "objectSid"]),
        "person": (["cn"], ["description", "telephoneNumber", "userPassword"]),
        "user": ([], ["sAMAccountName", "pwdLastSet", "lastLogon", "userAccountControl", "memberOf"]),
        "computer": ([], ["dNSHostName", "operatingSystem", "operatingSystemVersion"]),
        "group": (["groupType"], ["member", "description"]),
        "container": (["cn"], ["description"]),
    }
    # Each class's superclass and auxiliary classes; the classes the file does not hold (top,
    # organizationalPerson, securityPrincipal) are Active Directory's standard ones.
    parents = {"domainDNS": ("domain", []), "domain": ("top", []), "person": ("top", []),
               "user": ("organizationalPerson", ["securityPrincipal"]), "computer": ("user", []),
               "group": ("top", ["securityPrincipal"]), "container": ("top", [])}
    # Where an object of each class may be placed.
    superiors = {"domainDNS": ["domainDNS"], "domain": ["domain", "organizationalUnit"],
                 "person": ["container", "organizationalUnit"],
                 "user": ["builtinDomain", "domainDNS", "organizationalUnit"],
                 "computer": ["container", "domainDNS", "organizationalUnit"],
                 "group": ["builtinDomain", "container", "domainDNS", "organizationalUnit"],
                 "container": ["configuration", "container", "domainDNS", "organizationalUnit"]}
    for cn, name, category in (("Domain-DNS", "domainDNS", "Domain-DNS"), ("Domain", "domain", "Domain-DNS"),
                               ("Person", "person", "Person"), ("User", "user", "Person"),
                               ("Computer", "computer", "Computer"), ("Group", "group", "Group"),
                               ("Container", "container", "Container")):
        must, may = attributes.get(name, ([], []))
        superclass, auxiliary = parents[name]
        pairs = [("objectClass", ["top", "classSchema"]), ("lDAPDisplayName", name),
                 ("defaultObjectCategory", f"CN={category}," + SCHEMA), ("subClassOf", superclass)]
        if auxiliary:
            pairs.append(("systemAuxiliaryClass", auxiliary))
        if must:
            pairs.append(("systemMustContain", must))
        if may:
            pairs.append(("systemMayContain", may))
        pairs.append(("systemPossSuperiors", superiors[name]))
        entry(f"CN={cn}," + SCHEMA, *pairs)
    # Attribute syntaxes come from the schema where it has them.
    for cn, name, syntax, om in (("Bad-Pwd-Count", "badPwdCount", "2.5.5.9", "2"),
                                 ("USN-Created", "uSNCreated", "2.5.5.16", "65"),
                                 ("Member", "member", "2.5.5.1", "127")):
        entry(f"CN={cn}," + SCHEMA, ("objectClass", ["top", "attributeSchema"]),
              ("lDAPDisplayName", name), ("attributeSyntax", syntax), ("oMSyntax", om))

if __name__ == "__main__":
    main()
