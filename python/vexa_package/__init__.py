"""Application packages and profile reports for tiled accelerator devices.

Python face of the C++ library of the same name: the records of packages and profile
reports as plain classes, reading and writing them from and to bytes or files, validation,
tile images, profile samples as NumPy arrays (and pandas data frames) on one device
timeline, errors as exceptions and events through `logging`.
"""

from ._errors import (
    CapnpError,
    InvalidPackageError,
    IoError,
    PackageError,
    SchemaEnumError,
    Utf8Error,
)
from ._events import TRACE, log_to_python, stop_logging_to_python
from ._records import (
    Application,
    Binding,
    CycleSample,
    DeviceConfigWrite,
    EntryPoint,
    HostCall,
    HostExchange,
    HostPage,
    HostSlice,
    ProfileMetadata,
    ProfileReport,
    ProfileStep,
    ProfileStepKind,
    RegionSlice,
    Segment,
    TileImage,
    TileProfile,
)
from ._files import FileIdentity, FileKind, identify_file
from ._samples import ProfileSamples, TimelineAnomaly, TimelineSpan
from ._vexa_package import (
    PACKAGE_SCHEMA_VERSION,
    PACKAGE_TARGET,
    PROFILE_SCHEMA_VERSION,
    TILE_MEMORY_BASE,
    TILE_MEMORY_END,
    TILE_MEMORY_SIZE,
    __version__,
)

__all__ = [
    "Application",
    "Binding",
    "CapnpError",
    "CycleSample",
    "DeviceConfigWrite",
    "EntryPoint",
    "FileIdentity",
    "FileKind",
    "HostCall",
    "HostExchange",
    "HostPage",
    "HostSlice",
    "InvalidPackageError",
    "IoError",
    "PACKAGE_SCHEMA_VERSION",
    "PACKAGE_TARGET",
    "PROFILE_SCHEMA_VERSION",
    "PackageError",
    "ProfileMetadata",
    "ProfileReport",
    "ProfileSamples",
    "ProfileStep",
    "ProfileStepKind",
    "RegionSlice",
    "SchemaEnumError",
    "Segment",
    "TILE_MEMORY_BASE",
    "TILE_MEMORY_END",
    "TILE_MEMORY_SIZE",
    "TRACE",
    "TileImage",
    "TileProfile",
    "TimelineAnomaly",
    "TimelineSpan",
    "Utf8Error",
    "__version__",
    "identify_file",
    "log_to_python",
    "stop_logging_to_python",
]

# The public classes are documented, shown in tracebacks and pickled as members of the
# package, not of the private modules that define them.
for _name in __all__:
    if isinstance(globals()[_name], type):
        globals()[_name].__module__ = __name__
del _name
