#!/usr/bin/python3
"""Draws a picture of a converted county from its shapefiles (GDAL only).

usage: render_sample.py OUTPUT_DIR PICTURE.png [WIDTH]
OUTPUT_DIR holds the county's shapefiles (TGRssccc*.SHP).
"""
import glob
import os
import sys

from osgeo import gdal, ogr

gdal.UseExceptions()


def layer_file(directory, suffix):
    hits = [p for p in glob.glob(os.path.join(directory, "TGR*" + suffix + ".SHP"))
            if os.path.basename(p)[8:-4] == suffix]
    return hits[0] if hits else None


def main():
    directory, picture = sys.argv[1], sys.argv[2]
    width = int(sys.argv[3]) if len(sys.argv) > 3 else 1200
    county = ogr.Open(layer_file(directory, "CNTY"))
    minx, maxx, miny, maxy = county.GetLayer(0).GetExtent()
    pad = 0.02 * (maxx - minx)
    minx, maxx, miny, maxy = minx - pad, maxx + pad, miny - pad, maxy + pad
    height = int(width * (maxy - miny) / (maxx - minx))
    mem = gdal.GetDriverByName("MEM").Create("", width, height, 3, gdal.GDT_Byte)
    mem.SetGeoTransform((minx, (maxx - minx) / width, 0, maxy, 0, -(maxy - miny) / height))
    for band in range(1, 4):
        mem.GetRasterBand(band).Fill(245)

    def burn(suffix, rgb, where=None, all_touched=False, by_key=None):
        path = layer_file(directory, suffix)
        if not path:
            return
        ds = ogr.Open(path)
        layer = ds.GetLayer(0)
        if by_key:
            # One shade per feature, from its key.
            for feature in layer:
                key = feature.GetField(by_key) or 0
                shade = [min(255, c + (int(key) * 37) % 40) for c in rgb]
                tmp = ogr.GetDriverByName("Memory").CreateDataSource("")
                tl = tmp.CreateLayer("f", layer.GetSpatialRef(), feature.GetGeometryRef().GetGeometryType())
                f = ogr.Feature(tl.GetLayerDefn())
                f.SetGeometry(feature.GetGeometryRef().Clone())
                tl.CreateFeature(f)
                gdal.RasterizeLayer(mem, [1, 2, 3], tl, burn_values=shade)
            return
        if where:
            layer.SetAttributeFilter(where)
        options = ["ALL_TOUCHED=TRUE"] if all_touched else []
        gdal.RasterizeLayer(mem, [1, 2, 3], layer, burn_values=list(rgb), options=options)

    burn("CTBNA00", (215, 225, 200), by_key="SUF")
    burn("FPL", (240, 215, 190), by_key="SUF")
    burn("D", (170, 215, 150))
    burn("W", (150, 190, 235))
    burn("F", (200, 160, 200), all_touched=True)
    burn("A", (150, 150, 150))
    burn("A", (60, 60, 60), where="CFCC LIKE 'A1%' OR CFCC LIKE 'A2%' OR CFCC LIKE 'A3%'", all_touched=True)
    burn("B", (120, 60, 40), all_touched=True)
    burn("H", (40, 100, 200), all_touched=True)
    burn("DP", (200, 30, 30), all_touched=True)
    gdal.GetDriverByName("PNG").CreateCopy(picture, mem)


if __name__ == "__main__":
    main()
