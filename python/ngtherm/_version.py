from importlib.metadata import PackageNotFoundError, version

try:
    __version__ = version("ngtherm")
except PackageNotFoundError:  # imported from a source tree
    __version__ = "unknown"
