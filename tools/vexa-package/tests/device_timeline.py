"""The device timeline of a report given as JSON, computed here apart from the tool, for the
end-to-end tests: the report's first sample starts at 2^32 + its start_cycle; every other start
is the value with the stored low 32 bits nearest the start it follows (for a tile entry's first
sample, the report's first start), a distance of exactly 2^31 going forwards and a value below
0 falling back to the stored one; a sample ends (end_cycle - start_cycle) mod 2^32 later."""

EPOCH = 2**32


def placed(report):
    """Every sample in stored order as (tile entry, sample index, sample, start, end)."""
    origin = None
    for tile in report["tiles"]:
        previous = None
        for index, sample in enumerate(tile["samples"]):
            raw = sample["start_cycle"]
            if origin is None:
                start = origin = EPOCH + raw
            else:
                reference = origin if previous is None else previous
                forwards = (raw - reference) % EPOCH
                start = reference + forwards if forwards <= EPOCH // 2 else reference + forwards - EPOCH
                if start < 0:
                    start = raw
            previous = start
            yield tile, index, sample, start, start + (sample["end_cycle"] - raw) % EPOCH


def starts_by_entry(report):
    """The placed starts and ends, one list of (start, end) per tile entry."""
    places = {id(tile): [] for tile in report["tiles"]}
    for tile, _, _, start, end in placed(report):
        places[id(tile)].append((start, end))
    return [places[id(tile)] for tile in report["tiles"]]
