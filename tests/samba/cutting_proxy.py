#!/usr/bin/python3
"""Forwards LDAP from 127.0.0.1:PORT to 127.0.0.1:TARGET until a client request contains
MARKER; then drops every connection and stops listening, as a domain controller that goes
away in the middle of a run: python3 cutting_proxy.py PORT TARGET MARKER.

Prints "listening" once the port is open and "cut" when it cut."""
import selectors
import socket
import sys

port, target, marker = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3].encode()
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", port))
server.listen(16)
print("listening", flush=True)
selector = selectors.DefaultSelector()
selector.register(server, selectors.EVENT_READ)
peers = {}  # socket -> (other end, from the client?)

while True:
    for key, _ in selector.select():
        sock = key.fileobj
        if sock is server:
            client, _ = server.accept()
            upstream = socket.create_connection(("127.0.0.1", target))
            peers[client] = (upstream, True)
            peers[upstream] = (client, False)
            selector.register(client, selectors.EVENT_READ)
            selector.register(upstream, selectors.EVENT_READ)
            continue
        other, from_client = peers[sock]
        data = sock.recv(65536)
        if from_client and marker in data:
            for s in list(peers):
                s.close()
            server.close()
            print("cut", flush=True)
            sys.exit(0)
        if not data:
            for s in (sock, other):
                selector.unregister(s)
                s.close()
                peers.pop(s, None)
            continue
        other.sendall(data)
