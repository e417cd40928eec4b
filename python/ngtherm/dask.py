"""The batch calculation on a Dask data frame: each partition is one pandas batch.

    import dask.dataframe as dd, ngtherm.dask
    from distributed import Client
    client = Client("tcp://scheduler:8786")     # or a distributed.LocalCluster
    ddf = dd.read_parquet("states-*.parquet")
    ngtherm.dask.compute(ddf, what="properties").to_parquet("results/")
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

from . import batch

if TYPE_CHECKING:
    import dask.dataframe


def compute(
    ddf: "dask.dataframe.DataFrame", what: str = "properties", **options: Any
) -> "dask.dataframe.DataFrame":
    """``ddf`` with the result columns of ``what`` appended (lazy, like every Dask frame).

    Columns and ``options`` as for ``ngtherm.batch.compute``. Dask spreads the
    partitions over its workers; each partition is computed on one thread of its
    worker, so give the workers one thread each and one process per core.
    """
    batch.check_columns(list(ddf.columns), what)
    meta = batch.compute(ddf._meta, what, workers=1, **options)
    return ddf.map_partitions(batch.compute, what, workers=1, meta=meta, **options)
