"""An RFC 2217 serial server of the tests' own, playing a unit that answers
every byte, for what ser2net in front of a pseudo-terminal cannot show: a line
with CTS down, a refused baud rate, 0xFF both ways, Telnet commands between
the answers, a dropped connection, a server that never answers."""

import select
import socket
import threading
import time

IAC, DONT, DO, WONT, WILL, SB, SE, NOP = 255, 254, 253, 252, 251, 250, 240, 241
BINARY, ECHO, SGA, COM_PORT = 0, 1, 3, 44
SET_BAUDRATE, SET_DATASIZE, SET_PARITY, SET_STOPSIZE, SET_CONTROL = 1, 2, 3, 4, 5
NOTIFY_MODEMSTATE, PURGE_DATA, SERVER = 7, 12, 100
ASK_DTR, DTR_ON = 7, 8
CTS = 0x10


def escaped(data):
    return bytes(data).replace(b"\xff", b"\xff\xff")


def subnegotiation(*payload):
    return bytes([IAC, SB, COM_PORT]) + escaped(payload) + bytes([IAC, SE])


def has_data(stream):
    """Whether a stream of Telnet holds a data byte among its commands."""
    i = 0
    while i < len(stream):
        if stream[i] != IAC:
            return True
        following = stream[i + 1] if i + 1 < len(stream) else None
        if following == IAC:
            return True
        if following == SB:
            end = stream.find(bytes([IAC, SE]), i)
            i = len(stream) if end < 0 else end + 2
        else:
            i += 3 if following in (WILL, WONT, DO, DONT) else 2
    return False


class Peer:
    """Listens on 127.0.0.1 at self.port for one client at a time.

    com_port      answer the COM-PORT-OPTION with DO (else DONT)
    negotiate     answer the Telnet negotiation at all
    baud          the baud rate it confirms (None: the one asked)
    dtr_state     its answer to "what is DTR?" (8/9: it has modem lines)
    modem_state   the modem state it notifies once the option is agreed
    answer        the byte it answers each data byte with
    chatter       Telnet commands it sends before each answer
    drop_after    closes the connection after this many data bytes
    """

    def __init__(self, com_port=True, negotiate=True, baud=None, dtr_state=DTR_ON,
                 modem_state=CTS | 0x20, answer=0x06, chatter=False, drop_after=None):
        self.com_port, self.negotiate, self.baud = com_port, negotiate, baud
        self.dtr_state, self.modem_state, self.answer = dtr_state, modem_state, answer
        self.chatter, self.drop_after = chatter, drop_after
        self.data = bytearray()     # data bytes received, undoubled
        self.commands = []          # (command, value bytes) of the COM-PORT-OPTION received
        self.early = 0              # data bytes that came before the last one was answered
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]
        self.stopping = False
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def stop(self):
        self.stopping = True
        self.listener.close()
        self.thread.join(timeout=10)

    def _serve(self):
        while not self.stopping:
            try:
                ready = select.select([self.listener], [], [], 0.1)[0]
                if not ready:
                    continue
                client, _ = self.listener.accept()
            except OSError:
                return
            with client:
                client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                try:
                    self._talk(client)
                except OSError:
                    pass

    def _talk(self, client):
        state, verb, payload = "data", 0, bytearray()
        while not self.stopping:
            if not select.select([client], [], [], 0.1)[0]:
                continue
            chunk = client.recv(4096)
            if not chunk:
                return
            for byte in chunk:
                if state == "data":
                    if byte == IAC:
                        state = "iac"
                    elif not self._data(client, byte):
                        return
                elif state == "iac":
                    state = "data"
                    if byte == IAC:
                        if not self._data(client, IAC):
                            return
                    elif byte in (WILL, WONT, DO, DONT):
                        state, verb = "option", byte
                    elif byte == SB:
                        state, payload = "sb", bytearray()
                elif state == "option":
                    state = "data"
                    self._option(client, verb, byte)
                elif state == "sb":
                    if byte == IAC:
                        state = "sb-iac"
                    else:
                        payload.append(byte)
                elif state == "sb-iac":
                    if byte == SE:
                        state = "data"
                        self._subnegotiation(client, bytes(payload))
                    else:
                        payload.append(byte)
                        state = "sb"

    def _option(self, client, verb, option):
        if not self.negotiate:
            return
        if verb == WILL:
            agree = option == BINARY or (option == COM_PORT and self.com_port)
            client.sendall(bytes([IAC, DO if agree else DONT, option]))
            if option == COM_PORT and agree and self.modem_state is not None:
                client.sendall(subnegotiation(SERVER + NOTIFY_MODEMSTATE, self.modem_state))
        elif verb == DO:
            client.sendall(bytes([IAC, WILL if option == BINARY else WONT, option]))

    def _subnegotiation(self, client, payload):
        if len(payload) < 2 or payload[0] != COM_PORT:
            return
        command, values = payload[1], payload[2:]
        self.commands.append((command, bytes(values)))
        if command == SET_BAUDRATE and self.baud is not None:
            values = self.baud.to_bytes(4, "big")
        if command == SET_CONTROL and values[:1] == bytes([ASK_DTR]):
            if self.dtr_state is not None:
                client.sendall(subnegotiation(SERVER + SET_CONTROL, self.dtr_state))
            return
        if command in (SET_BAUDRATE, SET_DATASIZE, SET_PARITY, SET_STOPSIZE, SET_CONTROL,
                       PURGE_DATA):
            client.sendall(subnegotiation(SERVER + command, *values))

    def _data(self, client, byte):
        self.data.append(byte)
        if self.drop_after is not None and len(self.data) >= self.drop_after:
            return False
        if self.chatter:
            # Commands first, then a moment for a client that took them for
            # its answer to send the next byte too early.
            client.sendall(bytes([IAC, NOP]) + subnegotiation(SERVER + NOTIFY_MODEMSTATE, CTS) +
                           bytes([IAC, WILL, ECHO]) + subnegotiation(SERVER + PURGE_DATA, 1))
            time.sleep(0.01)
            if select.select([client], [], [], 0)[0] and has_data(client.recv(256, socket.MSG_PEEK)):
                self.early += 1
        client.sendall(escaped([self.answer]))
        return True

    def set_commands(self, command):
        """The values of each command of this code received, in order."""
        return [values for code, values in self.commands if code == command]
