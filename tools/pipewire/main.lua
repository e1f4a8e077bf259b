-- WirePlumber for the test run: the default policy (default sink and source,
-- stream links, stored defaults) without any hardware monitor, so the private
-- session never opens the machine's sound cards or cameras.
load_module("metadata")
default_access.enable()
device_defaults.enable()
stream_defaults.enable()
load_script("intended-roles.lua")
