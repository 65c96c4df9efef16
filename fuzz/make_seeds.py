#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: a handful of real frames, replies and files.

The dispatcher and frame-reader targets read their input the way FuzzedDataProvider serves it:
byte strings from the front, numbers from the back (the last byte is the first number taken).
"""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent / "corpus"

HANDSHAKE = "A1 B2 C3 D4 E5 A1 AE 5E 4D 3C 2B 1A"
DISCONNECT = "A1 B2 C3 D4 E5 A2 AD 5E 4D 3C 2B 1A"
VERSION_QUERY = "A1 B2 C3 D4 E5 A3 AC 5E 4D 3C 2B 1A"
PROTOCOL_1200 = "A1 B2 C3 D4 E5 F5 01 5E 4D 3C 2B 1A"
RUN_MODE_AND_PROTOCOL = "A1 B2 C3 D4 E5 F6 03 5E 4D 3C 2B 1A"


def hexbytes(text):
    return bytes.fromhex(text)


HANDSHAKE_REPLY = bytes([0xAA, 0x55, 0x02, 0x88, 0x66])
DOWNLOAD_ACK = bytes([0xD0, 0x01, 0x55])
UPLOAD_ROW = bytes([0xA2, 0x00] + list(range(1, 13)))
SERVICE_OK = hexbytes("A1 B2 C3 D4 E5 F5 01 00")
SERVICE_RUN_MODE = hexbytes("A1 B2 C3 D4 E5 F5 20 00")
VERSION_TEXT = b"QZ-0804 V2.4 2019-07-01 build 7"


class Input:
    """Builds a FuzzedDataProvider input: bytes taken in order from the front, small numbers
    (one byte each, ranges below 256) taken in order from the back."""

    def __init__(self):
        self.front = bytearray()
        self.back = []

    def number(self, value):
        self.back.append(value)
        return self

    def boolean(self, value):
        return self.number(1 if value else 0)

    def take(self, data):
        self.front += data
        return self

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))


def write(target, name, data):
    folder = HERE / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


# Hex frame text: the frame texts the tool holds, and the repaired odd and lower-case forms.
for name, text in [("handshake", HANDSHAKE), ("version_query", VERSION_QUERY),
                   ("protocol_1200", PROTOCOL_1200), ("odd_digits", "A1 B"),
                   ("lower_case", "a1b2"), ("bad_digit", "A1 ZZ")]:
    write("fuzz_hex_text", name, text.encode())

# Recogniser: replies whole and in pieces, as the port tells them.
def replies(*pieces):
    seed = Input()
    for data in pieces:
        # The piece's length, then the piece.
        seed.number(len(data) - 1).take(data)
    return seed.bytes()


write("fuzz_replies", "handshake_reply", replies(HANDSHAKE_REPLY))
write("fuzz_replies", "handshake_reply_in_two", replies(HANDSHAKE_REPLY[:2], HANDSHAKE_REPLY[2:]))
write("fuzz_replies", "download_ack", replies(DOWNLOAD_ACK))
write("fuzz_replies", "upload_row", replies(UPLOAD_ROW))
write("fuzz_replies", "service_reply", replies(SERVICE_OK))
write("fuzz_replies", "version_text", replies(VERSION_TEXT))

# Dispatcher: a start state, then operations: 0..3 a piece of the line, 4..5 a timer tick,
# 6 a button, 7 the device pulled.
CLOSED, CONNECTING, SETTLING, VERSION, IDLE, TRANSFERRING = range(6)
TICK, PRESS, PIECE = 4, 6, 0
BUTTON_SERVICE_1200, BUTTON_RUN_MODE, BUTTON_DOWNLOAD, BUTTON_UPLOAD = 1, 3, 4, 5


def piece(seed, data):
    seed.number(PIECE).number(len(data) - 1).take(data)


seed = Input().number(CONNECTING).number(3)  # three handshakes sent
piece(seed, HANDSHAKE_REPLY)
for _ in range(8):
    seed.number(TICK).number(0)
write("fuzz_reply_dispatch", "connect", seed.bytes())

seed = Input().number(SETTLING).number(2).number(2)  # QZ-0804, two settling ticks
piece(seed, bytes([0xAA, 0x55, 0x04, 0x88, 0x66]))  # the model changes while settling
write("fuzz_reply_dispatch", "model_change_settling", seed.bytes())

seed = Input().number(VERSION).number(2)
piece(seed, VERSION_TEXT[:20])
piece(seed, VERSION_TEXT[20:] + HANDSHAKE_REPLY)
seed.number(TICK).number(0)
write("fuzz_reply_dispatch", "version_text", seed.bytes())

seed = Input().number(IDLE).number(2)
seed.number(PRESS).number(BUTTON_SERVICE_1200)
piece(seed, SERVICE_OK)
seed.number(PRESS).number(BUTTON_RUN_MODE)
piece(seed, SERVICE_RUN_MODE + b"\x00")  # one byte too many: dropped
write("fuzz_reply_dispatch", "service_replies", seed.bytes())

seed = Input().number(TRANSFERRING).number(2).boolean(True)  # download
for row in range(1, 4):
    piece(seed, bytes([0xD0, row, 0x55]))
seed.number(TICK).number(0)
write("fuzz_reply_dispatch", "download", seed.bytes())

seed = Input().number(TRANSFERRING).number(2).boolean(True)  # a whole download
for row in range(1, 20):
    piece(seed, bytes([0xD0, row, 0x55]))
for _ in range(6):
    seed.number(TICK).number(0)
write("fuzz_reply_dispatch", "download_all_rows", seed.bytes())

seed = Input().number(TRANSFERRING).number(2).boolean(False)  # upload
for row in range(3):
    piece(seed, bytes([0xA2, row] + [row] * 12))
write("fuzz_reply_dispatch", "upload", seed.bytes())

seed = Input().number(TRANSFERRING).number(2).boolean(False)  # a whole upload
for row in range(19):
    piece(seed, bytes([0xA2, row] + [(row + c) % 3 for c in range(12)]))
for _ in range(6):
    seed.number(TICK).number(0)
write("fuzz_reply_dispatch", "upload_all_rows", seed.bytes())

# Frame reader: what the tool sends, in pieces, with pauses.
BAUD_9600 = 1


def stream(*pieces):
    seed = Input().number(BAUD_9600)
    for pause, data, idle in pieces:
        # Pause in microseconds (two bytes), piece length, piece, idle before.
        seed.number(pause >> 8).number(pause & 0xFF).number(len(data) - 1).take(data)
        seed.boolean(idle)
    return seed.bytes()


DOWNLOAD_ROW = bytes([0xD0, 0x05] + [7] * 12 + [0x55])
PREVIEW = bytes([0xD1, 0xD1] + [0] * 12 + [0x55])
write("fuzz_frame_reader", "handshakes",
      stream((0, hexbytes(HANDSHAKE), False), (2000, hexbytes(HANDSHAKE), True)))
write("fuzz_frame_reader", "disconnect_three_times",
      stream((0, hexbytes(DISCONNECT) * 3, False)))
write("fuzz_frame_reader", "download_row_and_protocol",
      stream((0, DOWNLOAD_ROW, False), (100, hexbytes(RUN_MODE_AND_PROTOCOL), False)))
write("fuzz_frame_reader", "preview_cut_by_pause",
      stream((0, PREVIEW[:7], False), (6000, PREVIEW[7:] + bytes([0xA0, 3, 0xD1, 0xAA, 0xFE, 0xFF]),
                                        True)))
write("fuzz_frame_reader", "upload_requests_with_noise",
      stream((0, bytes([0x00, 0xA2, 0x04, 0x04, 0xAA, 0xFE, 0xFF, 0xA1, 0x02, 0x80, 0xAA, 0xFE,
                        0xFF]), False)))

# Parameter files: as the tool writes them, and as a Linux editor gives them back.
MODEL_TAG_GBK = bytes([0xBB, 0xFA, 0xD0, 0xCD, 0x3A])
MODEL_TAG_UTF8 = "机型:".encode()


def param_file(tag, model, rows, end):
    lines = [tag + str(model).encode()]
    for r, row in enumerate(rows):
        lines.append(b"CJ%02d" % r + b"".join(b"%03d" % v for v in row))
    return end.join(lines) + end


ROWS = [[(r * 12 + c) % 256 for c in range(12)] for r in range(19)]
write("fuzz_param_file", "written_by_the_tool", param_file(MODEL_TAG_GBK, 2, ROWS, b"\r\n"))
write("fuzz_param_file", "utf8_lf", param_file(MODEL_TAG_UTF8, 4, ROWS, b"\n"))
write("fuzz_param_file", "bom_and_bad_rows",
      b"\xef\xbb\xbf" + param_file(MODEL_TAG_UTF8, 7, [[255] * 12, [256] + [0] * 11], b"\n")
      + b"CJ19001002003004005006007008009010011012\n")
write("fuzz_param_file", "short_lines", MODEL_TAG_GBK + b"1\rCJ3\rCJ05 12 34\r")

# Transfer schedule: an image, then events: 0 download start, 1 acknowledgement, 2 download
# tick, 3 upload start, 4 upload row, 5 upload tick, 6 download stop, 7 upload stop.
def transfer_seed():
    seed = Input()
    for r in range(19):
        for c in range(12):
            seed.number((r * 12 + c) % 256)
    return seed


def event(seed, kind, *numbers, after=0):
    """One transfer event `after` x 20 ms after the one before."""
    seed.number(after).number(kind)
    for n in numbers:
        seed.number(n)
    return seed


seed = event(transfer_seed(), 0, 0x13)  # start with both options
for n in range(1, 20):
    event(seed, 1, n)
for _ in range(5):
    event(seed, 2, after=10)
write("fuzz_transfer", "download", seed.bytes())

seed = event(transfer_seed(), 0, 0x13)
for n in [1, 1, 2]:
    event(seed, 1, n)
for _ in range(10):
    event(seed, 2, after=10)
event(seed, 6)
write("fuzz_transfer", "download_failing", seed.bytes())

# Each answer twice, a garbled one (row 37, row 9 ahead, row 19 too early), 19 after 18.
seed = event(transfer_seed(), 0, 0x11)
for n in range(1, 19):
    event(event(seed, 1, n), 1, n)
    if n == 5:
        event(event(event(seed, 1, 37), 1, 9), 1, 19)
event(seed, 1, 19)
write("fuzz_transfer", "download_answers_twice_and_garbled", seed.bytes())

# A controller that keeps asking for rows 4 and 5 in turn, then one that answers every 5 s.
seed = event(transfer_seed(), 0, 0x11)
for n in range(1, 6):
    event(seed, 1, n)
for i in range(100):
    event(seed, 1, 4 + i % 2)
event(seed, 0, 0x11)
for n in range(1, 10):
    event(seed, 1, n, after=250)
write("fuzz_transfer", "download_out_of_frames_and_time", seed.bytes())

seed = event(transfer_seed(), 3)
for r in range(19):
    event(seed, 4, r, *[(r + c) % 7 for c in range(12)])
for _ in range(5):
    event(seed, 5, after=10)
write("fuzz_transfer", "upload", seed.bytes())

seed = event(transfer_seed(), 3)
for r in [0, 1, 18, 2]:
    event(seed, 4, r, *[r] * 12)
event(seed, 5, after=10)
write("fuzz_transfer", "upload_out_of_order", seed.bytes())

# Conversation: an image, whether a service answer is waited for, then steps: 0 connect,
# 1 a reply (a number, then its kind: 0 handshake, 1 acknowledgement, 2 upload row, 3 service
# answer), 2 a tick of the running timer, 3 a service command, 4 download, 5 upload,
# 6 disconnect, 7 the port lost.
def step(seed, kind, *numbers):
    seed.number(0).number(kind)
    for n in numbers:
        seed.number(n)
    return seed


def connected_seed(wait_for_service):
    seed = transfer_seed().boolean(wait_for_service)
    step(step(step(seed, 0), 2, 0), 1, 2, 0)  # connect, a handshake, model 2 answers
    for _ in range(8):
        step(seed, 2, 0)  # settling, the version query, the version shown
    return seed


seed = connected_seed(False)
step(seed, 4, 0x13)
for n in range(1, 20):
    step(seed, 1, n, 1)
step(seed, 5)
for r in range(19):
    step(seed, 1, r, 2, *[(r + c) % 7 for c in range(12)])
step(seed, 6, 0)
write("fuzz_session", "download_upload_goodbye", seed.bytes())

seed = connected_seed(True)
step(seed, 3, 4)
for _ in range(15):
    step(seed, 2, 5)
step(seed, 3, 0)
step(seed, 1, 0x01, 3)
step(seed, 5)
step(seed, 1, 0, 2, *[0] * 12)
step(seed, 7)
write("fuzz_session", "service_unanswered_then_port_lost", seed.bytes())
