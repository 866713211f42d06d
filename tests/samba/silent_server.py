#!/usr/bin/python3
"""A server that takes connections and never answers: python3 silent_server.py PORT [ADDRESS].

Prints "listening" once the port is open, then waits until it is killed."""
import socket
import sys
import time

server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind((sys.argv[2] if len(sys.argv) > 2 else "127.0.0.1", int(sys.argv[1])))
server.listen(16)
print("listening", flush=True)
held = []
while True:
    connection, _ = server.accept()
    held.append(connection)  # kept open, never read or answered
