"""The record classes hold to the field tables of the C++ records: the same fields in the same
order, with the same types and defaults, and addresses and words shown in hexadecimal."""

import dataclasses

import pytest

import vexa_package as vp
from vexa_package import _records

#: Record name -> (name, hint, hexadecimal, Python type, default) of each field, from C++.
TABLES = vp._vexa_package._record_tables()


def record_classes():
    """Every record class that `_records` defines, by name."""
    return {name: value for name, value in vars(_records).items()
            if isinstance(value, type) and issubclass(value, _records._Record)
            and value is not _records._Record}


def default_of(field):
    if field.default is not dataclasses.MISSING:
        return field.default
    return field.default_factory()


def test_every_record_class_has_a_table_and_every_table_a_class():
    assert set(record_classes()) == set(TABLES)
    assert len(TABLES) == 16


@pytest.mark.parametrize("name", sorted(TABLES))
def test_fields_names_order_types_and_defaults_follow_the_table(name):
    fields = dataclasses.fields(getattr(_records, name))
    table = TABLES[name]
    assert [field.name for field in fields] == [entry[0] for entry in table]
    for field, (_, hint, hexadecimal, python_type, default) in zip(fields, table):
        where = f"{name}.{field.name} ({hint})"
        assert field.type == python_type, where
        assert bool(field.metadata.get("hexadecimal")) == hexadecimal, where
        value = default_of(field)
        assert type(value) is type(default), where
        assert value == default, where


def test_the_tables_name_the_defaults_that_are_not_zero():
    defaults = {(record, entry[0]): entry[4] for record, table in TABLES.items() for entry in table}
    assert defaults["Application", "compiler_version"] == "0.1.0"
    assert defaults["HostCall", "invocations"] == 1
    assert defaults["ProfileStep", "kind"] is vp.ProfileStepKind.Exchange
    assert defaults["Application", "host_exchange"] == vp.HostExchange()
    assert defaults["CycleSample", "step"] == vp.ProfileStep()


def test_hints_describe_the_values():
    hints = {(record, entry[0]): entry[1] for record, table in TABLES.items() for entry in table}
    assert hints["Segment", "address"] == "address"
    assert hints["Segment", "memory_size"] == "size"
    assert hints["Segment", "data"] == "byte_data"
    assert hints["Segment", "flags"] == "word"
    assert hints["HostCall", "command"] == "code"
    assert hints["TileImage", "segments"] == "records"
    assert hints["Application", "host_exchange"] == "record"
    assert hints["ProfileStep", "kind"] == "enumeration"
