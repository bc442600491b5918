"""Records that several tests build: every record class, a random report and one record of
every class with no field left at its default."""

import random

import vexa_package as vp

#: Every record class, by its name in the files of `vexa_python_sample_files`.
RECORDS = {
    "segment": vp.Segment,
    "tile_image": vp.TileImage,
    "region_slice": vp.RegionSlice,
    "binding": vp.Binding,
    "host_page": vp.HostPage,
    "host_slice": vp.HostSlice,
    "host_call": vp.HostCall,
    "host_exchange": vp.HostExchange,
    "entry_point": vp.EntryPoint,
    "device_config_write": vp.DeviceConfigWrite,
    "application": vp.Application,
    "profile_metadata": vp.ProfileMetadata,
    "profile_step": vp.ProfileStep,
    "cycle_sample": vp.CycleSample,
    "tile_profile": vp.TileProfile,
    "profile_report": vp.ProfileReport,
}


def generated_report(seed=7):
    """Several tiles of samples with repeated and distinct names, wrapping cycles and all kinds."""
    rng = random.Random(seed)
    names = [f"name_{i}" for i in range(30)] + ["", "ümlaut→"]
    tiles = []
    for tile in (5, 0, 5, 2**32 - 1):
        samples = []
        for _ in range(rng.randrange(0, 300)):
            samples.append(vp.CycleSample(
                step=vp.ProfileStep(
                    local_index=rng.randrange(2**32), phase=rng.randrange(2**32),
                    epoch=rng.randrange(2**32), operation=rng.choice(names),
                    kind=vp.ProfileStepKind(rng.randrange(4)), kernel=rng.choice(names),
                    metadata=[vp.ProfileMetadata(name="k", value=rng.choice(names))]),
                start_cycle=rng.randrange(2**32), end_cycle=rng.randrange(2**32)))
        tiles.append(vp.TileProfile(physical_tile=tile, samples=samples))
    return vp.ProfileReport(clock_hz=rng.randrange(2**64), tiles=tiles)


def every_record():
    """One record of each class, every field set to something other than its default, with
    texts and bytes that need escaping and the largest integers."""
    segment = vp.Segment(address=0x4C000, memory_size=2**32 - 1, data=b"\x00'\"\\\n\xff",
                         flags=0xFFFFFFFF)
    tile = vp.TileImage(physical_tile=7, entry_point=0x4C010, command_address=0x4C100,
                        diagnostic_address=0xE7FFC, segments=[segment, vp.Segment(flags=1)])
    region = vp.RegionSlice(tile=7, tile_address=0x4C200, file_offset=2**64 - 1, size=16)
    binding = vp.Binding(name="ümlaut 'single' \"double\"", dtype="f32", shape=[2, 2**32 - 1],
                         slices=[region, region])
    page = vp.HostPage(index=3, size=2**40)
    host_slice = vp.HostSlice(page=3, page_offset=8, file_offset=9, size=10)
    call = vp.HostCall(name="call\t1", command=1, phases=2, inputs=[host_slice],
                       outputs=[host_slice, host_slice], invocations=5, input_batch_ends=[1],
                       output_batch_ends=[1, 2])
    exchange = vp.HostExchange(startup_mark=0xC0FFEE, command_page=3, command_offset=4,
                               pages=[page], attach_order=[3, 3], calls=[call])
    entry = vp.EntryPoint(name="main", command=6, external_syncs=2)
    config = vp.DeviceConfigWrite(offset=0x40, value=0xDEADBEEF)
    application = vp.Application(
        compiler_version="compiler 1.0\n", tiles=[tile], inputs=[binding], outputs=[binding],
        weights=[binding], host_exchange=exchange, entry_points=[entry],
        device_config_writes=[config])
    metadata = vp.ProfileMetadata(name="name", value="value\x7f")
    step = vp.ProfileStep(local_index=1, phase=2, epoch=3, operation="operation",
                          kind=vp.ProfileStepKind.Idle, kernel="kernel", metadata=[metadata])
    sample = vp.CycleSample(step=step, start_cycle=2**32 - 1, end_cycle=4)
    tile_profile = vp.TileProfile(physical_tile=9, samples=[sample, sample])
    report = vp.ProfileReport(clock_hz=2**64 - 1, tiles=[tile_profile])
    return [segment, tile, region, binding, page, host_slice, call, exchange, entry, config,
            application, metadata, step, sample, tile_profile, report]
