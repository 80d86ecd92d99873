#!/usr/bin/python3
# Gives the MSI's summary information (what Explorer shows as the file's
# properties) German words: wixl writes English ones it has no attribute
# for. usage: msi_summary.py MSI
import sys

import gi

gi.require_version("Libmsi", "1.0")
from gi.repository import Libmsi  # noqa: E402

database = Libmsi.Database.new(sys.argv[1], Libmsi.DbFlags.TRANSACT, None)
summary = Libmsi.SummaryInfo.new(database, 5)
for key, text in [(Libmsi.Property.TITLE, "Installationsdatenbank"),
                  (Libmsi.Property.KEYWORDS, "Installationsprogramm, Lieferantenadressen"),
                  (Libmsi.Property.COMMENTS, "Installiert den Keilbrecher: Lieferantenadressen im Suchprogramm "
                                             "nachschlagen."),
                  (Libmsi.Property.TEMPLATE, "x64;1031")]:
    summary.set_string(key, text)
summary.save(database)
database.commit()
