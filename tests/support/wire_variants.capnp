# Layouts that other writers may produce: an older writer with shorter structs and a newer
# one with longer structs. Only the layout matters on the wire, not the names.
@0x9d2cf85e728c6927;

using Cxx = import "/capnp/c++.capnp";
using App = import "/application.capnp";
$Cxx.namespace("vexa_package::testing::variants");

# A host call from a writer that knew no invocations field: one data word.
struct OlderHostCall {
  name @0 :Text;
  command @1 :UInt32;
  phases @2 :UInt32;
  inputs @3 :List(App.HostSlice);
  outputs @4 :List(App.HostSlice);
}

struct OlderHostExchange {
  startupMark @0 :UInt32;
  commandPage @1 :UInt32;
  commandOffset @2 :UInt64;
  pages @3 :List(App.HostPage);
  attachOrder @4 :List(UInt32);
  calls @5 :List(OlderHostCall);
}

struct OlderApplication {
  schemaVersion @0 :UInt32;
  compilerVersion @1 :Text;
  target @2 :Text;
  tileMemoryBase @3 :UInt32;
  tileMemorySize @4 :UInt32;
  tiles @5 :List(App.TileImage);
  inputs @6 :List(App.Binding);
  outputs @7 :List(App.Binding);
  weights @8 :List(App.Binding);
  hostExchange @9 :OlderHostExchange;
  entryPoints @10 :List(App.EntryPoint);
  deviceConfigWrites @11 :List(App.DeviceConfigWrite);
}

# A segment and a root from a writer that added fields at the end.
struct NewerSegment {
  address @0 :UInt32;
  memorySize @1 :UInt32;
  data @2 :Data;
  flags @3 :UInt32;
  checksum @4 :UInt64;
  origin @5 :Text;
}

struct NewerTileImage {
  physicalTile @0 :UInt32;
  entryPoint @1 :UInt32;
  segments @2 :List(NewerSegment);
  commandAddress @3 :UInt32;
  diagnosticAddress @4 :UInt32;
  clusterId @5 :UInt64;
}

struct NewerApplication {
  schemaVersion @0 :UInt32;
  compilerVersion @1 :Text;
  target @2 :Text;
  tileMemoryBase @3 :UInt32;
  tileMemorySize @4 :UInt32;
  tiles @5 :List(NewerTileImage);
  inputs @6 :List(App.Binding);
  outputs @7 :List(App.Binding);
  weights @8 :List(App.Binding);
  hostExchange @9 :App.HostExchange;
  entryPoints @10 :List(App.EntryPoint);
  deviceConfigWrites @11 :List(App.DeviceConfigWrite);
  buildId @12 :UInt64;
  notes @13 :Text;
}
