"""What `profile trace` should write for a report given as JSON, computed here apart from the
tool, and readers of both trace formats that check each file against it. The Perfetto file
is decoded with the protoc-generated perfetto_trace_pb2 (in the working directory), resolving
interned texts and per-sequence clocks as Perfetto's trace processor does."""

import json

from device_timeline import placed

TRACE_CLOCK = 6
SEQUENCE_CLOCK = 64
BUCKETS = 1000
MOST_CELLS = 2**20
KINDS = ["Exchange", "Compute", "Synchronization", "Idle"]


def nanoseconds(clock):
    return (lambda c: c) if clock == 0 else (lambda c: c * 10**9 // clock)


def kept_samples(report, keep=None):
    """The kept samples in stored order as (physical tile, sample, start, end) in cycles."""
    keep = keep or (lambda tile, sample, start: True)
    return [(tile["physical_tile"], sample, start, end)
            for tile, _, sample, start, end in placed(report)
            if keep(tile["physical_tile"], sample, start)]


def expected(report, keep=None, cut=None, tiles=None):
    """Per physical tile that `tiles` keeps, the slices of its kept samples that start before
    the cut, in stored order, times in ns."""
    ns = nanoseconds(report["clock_hz"])
    tracks = {tile["physical_tile"]: [] for tile in report["tiles"]
              if tiles is None or tiles(tile["physical_tile"])}
    for physical_tile, raw, start, end in kept_samples(report, keep):
        slices = tracks[physical_tile]
        if cut is not None and start >= cut:
            continue
        s = raw["step"]
        slices.append({"name": s["kernel"] or s["operation"] or s["kind"], "kind": s["kind"],
                       "start": ns(start), "end": ns(end),
                       "cycles": (raw["end_cycle"] - raw["start_cycle"]) % 2**32,
                       "operation": s["operation"], "local_index": s["local_index"],
                       "phase": s["phase"], "epoch": s["epoch"],
                       "metadata": [(m["name"], m["value"]) for m in s["metadata"]]})
    return tracks


def expected_counters(report, keep=None):
    """The busy counters: bucket start times (ns, the run's end last) and per (tile, kind)
    the share in percent of each bucket."""
    samples = kept_samples(report, keep)
    if not samples:
        return [], {}
    first = min(start for _, _, start, _ in samples)
    last = max(end for _, _, _, end in samples)
    series = sorted({(tile, KINDS.index(raw["step"]["kind"])) for tile, raw, _, _ in samples})
    most = max(1, min(BUCKETS, MOST_CELLS // len(series), len(samples) // len(series)))
    span = last - first
    width, count = 1, 1
    if span:
        width = -(-span // min(most, span))
        count = -(-span // width)
    starts = [first + b * width for b in range(count)] + [last]
    busy = {key: [0] * count for key in series}
    for tile, raw, start, end in samples:
        shares = busy[(tile, KINDS.index(raw["step"]["kind"]))]
        for b in range((start - first) // width, min(count, (end - first) // width + 1)):
            shares[b] += max(0, min(end, starts[b + 1]) - max(start, starts[b]))
    shares = {(tile, KINDS[kind]): [c * 100 / (starts[b + 1] - starts[b]) if starts[b + 1] > starts[b]
                                    else 0 for b, c in enumerate(cycles)]
              for (tile, kind), cycles in busy.items()}
    ns = nanoseconds(report["clock_hz"])
    return [ns(t) for t in starts], shares


def check_counters(report, points, keep=None):
    """`points` maps (tile, kind) to the (time, value) points written for it, in file order."""
    times, shares = expected_counters(report, keep)
    assert set(points) == set(shares), (sorted(points), sorted(shares))
    for key, wanted in shares.items():
        got = points[key]
        assert [t for t, _ in got] == sorted(t for t, _ in got), ("time order", key)
        assert got[0][0] == times[0], (key, got[0], times[0])
        # The value in force at each bucket's start, and 0 from the run's end.
        at, value = 0, None
        for b, t in enumerate(times):
            while at < len(got) and got[at][0] <= t:
                value = got[at][1]
                at += 1
            share = wanted[b] if b < len(wanted) else 0
            assert abs(value - share) <= 1e-9 * max(1, share), (key, b, value, share)
    return times, shares


class PerfettoTrace:
    """A decoded Perfetto file: the device track, the tile tracks by rank, the slices and
    counter points by tile, and whether each track's slices nest as a viewer replays them."""

    def __init__(self, path):
        import perfetto_trace_pb2 as pb
        packets = list(pb.Trace.FromString(open(path, "rb").read()).packet)
        self.packets = packets
        self.sequences = {}
        self.absolute_times = 0
        tracks, order, slices, open_slice, events = {}, [], {}, {}, {}
        counters, self.counter_tracks = {}, {}
        self.device = None
        # Slice begins (1) and ends (2) in file order, with their times.
        self.events = []
        tile_of = {}
        for packet in packets:
            seq = packet.trusted_packet_sequence_id
            assert seq != 0, "every packet names its sequence"
            if seq not in self.sequences:
                assert packet.sequence_flags & 1, ("a sequence starts by clearing its state", seq)
            if packet.sequence_flags & 1:
                state = self.sequences[seq] = {"names": {}, "categories": {}, "keys": {},
                                               "values": {}, "track": None, "clock": None,
                                               "time": None}
            state = self.sequences[seq]
            if packet.HasField("trace_packet_defaults"):
                defaults = packet.trace_packet_defaults
                if defaults.HasField("track_event_defaults"):
                    state["track"] = defaults.track_event_defaults.track_uuid
                if defaults.HasField("timestamp_clock_id"):
                    state["clock"] = defaults.timestamp_clock_id
            interned = packet.interned_data
            self.intern(state["names"], [(e.iid, e.name) for e in interned.event_names])
            self.intern(state["categories"], [(e.iid, e.name) for e in interned.event_categories])
            self.intern(state["keys"], [(e.iid, e.name) for e in interned.debug_annotation_names])
            self.intern(state["values"], [(e.iid, e.str.decode())
                                          for e in interned.debug_annotation_string_values])
            if packet.HasField("clock_snapshot"):
                clocks = {c.clock_id: c for c in packet.clock_snapshot.clocks}
                assert set(clocks) == {TRACE_CLOCK, SEQUENCE_CLOCK}, clocks
                assert clocks[SEQUENCE_CLOCK].is_incremental
                assert not clocks[TRACE_CLOCK].is_incremental
                assert clocks[TRACE_CLOCK].timestamp == clocks[SEQUENCE_CLOCK].timestamp
                assert state["time"] is None, ("one snapshot per sequence", seq)
                state["time"] = clocks[SEQUENCE_CLOCK].timestamp
                continue
            time = None
            if packet.HasField("timestamp"):
                clock = packet.timestamp_clock_id if packet.HasField("timestamp_clock_id") \
                    else state["clock"] or TRACE_CLOCK
                if clock == SEQUENCE_CLOCK:
                    assert state["time"] is not None, ("a delta before the clock's snapshot", seq)
                    time = state["time"] = state["time"] + packet.timestamp
                else:
                    assert clock == TRACE_CLOCK, clock
                    time = packet.timestamp
                    # Written in full only where a delta would be negative.
                    assert state["time"] is not None and time < state["time"], (time, state)
                    self.absolute_times += 1
            if packet.HasField("track_descriptor"):
                track = packet.track_descriptor
                assert track.uuid not in tracks, track
                if not track.HasField("parent_uuid"):
                    assert self.device is None and track.child_ordering == 3, track
                    self.device = track
                    tracks[track.uuid] = track
                elif track.parent_uuid == self.device.uuid:
                    assert track.child_ordering == 3, track
                    tracks[track.uuid] = track
                    tile_of[track.uuid] = track.name
                    order.append(track)
                elif track.HasField("counter"):
                    parent = tracks[track.parent_uuid]
                    assert track.counter.unit_name == "%", track
                    tile, kind = track.name.rsplit(" busy ", 1)
                    assert tile == parent.name and kind in KINDS, track
                    assert track.sibling_order_rank == 16 + KINDS.index(kind), track
                    tracks[track.uuid] = track
                    self.counter_tracks[track.uuid] = (int(tile.split()[1]), kind)
                else:
                    # An overflow track, under its tile's, ranked by its number.
                    parent = tracks[track.parent_uuid]
                    assert track.name == "%s (overlap %d)" % (
                        parent.name, track.sibling_order_rank), track
                    tracks[track.uuid] = track
                    tile_of[track.uuid] = parent.name
            if packet.HasField("track_event"):
                event = packet.track_event
                assert time is not None, "an event without a time"
                uuid = event.track_uuid if event.HasField("track_uuid") else state["track"]
                assert uuid in tracks, "an event before its track"
                if event.type == 4:
                    assert uuid in self.counter_tracks and event.HasField("double_counter_value")
                    counters.setdefault(self.counter_tracks[uuid], []).append(
                        (time, event.double_counter_value))
                    continue
                assert uuid not in self.counter_tracks
                if event.type == 1:
                    assert packet.sequence_flags == 2 and uuid not in open_slice
                    values = []
                    for a in event.debug_annotations:
                        key = a.name if a.HasField("name") else state["keys"][a.name_iid]
                        if a.HasField("string_value"):
                            value = a.string_value
                        elif a.HasField("string_value_iid"):
                            value = state["values"][a.string_value_iid]
                        else:
                            value = a.uint_value
                        values.append((key, value))
                    assert len(event.category_iids) == 1
                    name = event.name if event.HasField("name") else state["names"][event.name_iid]
                    current = open_slice[uuid] = {
                        "name": name, "kind": state["categories"][event.category_iids[0]],
                        "start": time, "annotations": values, "track": tracks[uuid].name}
                else:
                    assert event.type == 2, event
                    current = open_slice.pop(uuid)
                    current["end"] = time
                    slices.setdefault(tile_of[uuid], []).append(current)
                written = events.setdefault(uuid, [])
                written.append((time, len(written), event.type, id(current)))
                self.events.append((event.type, time))
        assert not open_slice
        # What a viewer does with each track: events in time order, ties in written order,
        # and every end closes the slice begun last. A slice that ends another is a broken
        # nesting.
        self.nested = {}
        for uuid, track_events in events.items():
            stack, ok = [], True
            for _, _, kind, slice_id in sorted(track_events):
                if kind == 1:
                    stack.append(slice_id)
                else:
                    ok = ok and stack.pop() == slice_id
            self.nested[tracks[uuid].name] = ok
        # Explicit ordering: ranks rise with the tile number.
        self.ranked = [t.name for t in sorted(order, key=lambda t: t.sibling_order_rank)]
        self.slices = slices
        self.counters = counters

    @staticmethod
    def intern(table, entries):
        texts = table.setdefault(None, set())
        for iid, text in entries:
            assert iid not in table and text not in texts, ("interned twice", iid, text)
            table[iid] = text
            texts.add(text)


def annotations(slice):
    return [("operation", slice["operation"]), ("local_index", slice["local_index"]),
            ("phase", slice["phase"]), ("epoch", slice["epoch"])] + slice["metadata"]


def check_perfetto(report_path, trace_path, source, crowded=(), keep=None, cut=None, tiles=None):
    report = json.load(open(report_path))
    tracks = expected(report, keep, cut, tiles)
    trace = PerfettoTrace(trace_path)
    assert all(ok for name, ok in trace.nested.items()
               if name.split(" (")[0] not in crowded), trace.nested
    assert trace.device.name == "vexa device (%s)" % source, trace.device.name
    assert trace.ranked == ["tile %d" % t for t in sorted(tracks)], trace.ranked
    for tile, wanted in tracks.items():
        got = trace.slices.get("tile %d" % tile, [])
        assert len(got) == len(wanted), (tile, len(got), len(wanted))
        for mine, theirs in zip(got, wanted):
            assert mine["name"] == theirs["name"] and mine["kind"] == theirs["kind"], (mine, theirs)
            assert (mine["start"], mine["end"]) == (theirs["start"], theirs["end"]), (mine, theirs)
            assert mine["annotations"] == annotations(theirs), (mine, theirs)
    check_counters(report, trace.counters, keep)
    return trace


def metadata_args(pairs):
    args = {}
    for name, value in pairs:
        if name not in args:
            args[name] = value
        else:
            args[name] = (args[name] if isinstance(args[name], list) else [args[name]]) + [value]
    return args


def json_counters(events):
    """The counter points of a JSON trace by (tile, kind): every event carries each kind of
    its tile."""
    points = {}
    for event in events:
        if event["ph"] == "C":
            tile, busy = event["name"].rsplit(" ", 1)
            assert busy == "busy" and event["pid"] == 1, event
            for kind, value in event["args"].items():
                points.setdefault((int(tile.split()[1]), kind), []).append(
                    (round(event["ts"] * 1000), value))
    return points


def check_json(report_path, trace_path, keep=None, cut=None, tiles=None):
    report = json.load(open(report_path))
    tracks = expected(report, keep, cut, tiles)
    document = json.load(open(trace_path))
    events = document["traceEvents"]
    threads = {e["tid"]: e["args"]["name"] for e in events if e["name"] == "thread_name"}
    assert threads == {t: "tile %d" % t for t in tracks}, threads
    ranks = {e["tid"]: e["args"]["sort_index"] for e in events if e["name"] == "thread_sort_index"}
    assert ranks == {t: t for t in tracks}, ranks
    for tile, wanted in tracks.items():
        got = [e for e in events if e["ph"] == "X" and e["tid"] == tile]
        assert len(got) == len(wanted), (tile, len(got), len(wanted))
        for event, theirs in zip(got, wanted):
            assert event["name"] == theirs["name"] and event["cat"] == theirs["kind"]
            # Microseconds with the nanoseconds as exact decimals.
            assert round(event["ts"] * 1000) == theirs["start"], (event, theirs)
            assert round(event["dur"] * 1000) == theirs["end"] - theirs["start"], (event, theirs)
            args = event["args"]
            assert args["operation"] == theirs["operation"] and args["cycles"] == theirs["cycles"]
            assert (args["local_index"], args["phase"], args["epoch"]) == \
                (theirs["local_index"], theirs["phase"], theirs["epoch"])
            assert args["metadata"] == metadata_args(theirs["metadata"]), (args, theirs)
    check_counters(report, json_counters(events), keep)
    return document
