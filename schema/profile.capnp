# Wire form of a profile report: one message whose root is Profile.
# Field ordinals and types fix the layout of every struct; stored reports depend on them,
# so never renumber, retype or reorder a field.
@0xcace931bc9987bd3;

using Cxx = import "/capnp/c++.capnp";
$Cxx.namespace("vexa_package::profile_capnp");

struct Profile {
  schemaVersion @0 :UInt32;
  clockHz @1 :UInt64;
  tiles @2 :List(TileProfile);
}

struct TileProfile {
  physicalTile @0 :UInt32;
  samples @1 :List(CycleSample);
}

struct CycleSample {
  step @0 :ProfileStep;
  startCycle @1 :UInt32;
  endCycle @2 :UInt32;
}

struct ProfileStep {
  localIndex @0 :UInt32;
  phase @1 :UInt32;
  epoch @2 :UInt32;
  operation @3 :Text;
  kind @4 :StepKind;
  kernel @5 :Text;
  metadata @6 :List(MetadataEntry);
}

struct MetadataEntry {
  name @0 :Text;
  value @1 :Text;
}

enum StepKind {
  exchange @0;
  compute @1;
  synchronization @2;
  idle @3;
}
