#!/usr/bin/env python3
"""Writes shop.db, the small SQLite database the example reports read.

    python3 make_shop_db.py [OUTPUT]      (default: shop.db beside this script)

Tables:
  customers   (id, name, contact, street, zip, city, country, email, phone)
  products    (id, name, category, unit, unit_price, picture)   picture: a 64x64 PNG
  orders      (id, customer_id, order_date, payment, shipping)  order_date: ISO 'YYYY-MM-DD'
  order_lines (order_id, line_no, product_id, qty, price)        price: the unit price less
                                                                  10 % from 10 pieces on

The content comes from a fixed-seed SplitMix64 generator and fixed lists, so
every run writes the same rows in the same order; the file is written anew
(into a temporary name, then moved over the old one), so on one machine
every run gives the same bytes. Standard library only.
"""

import math
import os
import sqlite3
import struct
import sys
import zlib

SEED = 0x5EED_2024


class SplitMix64:
    """The SplitMix64 generator: tiny, fast, and the same on every platform."""

    MASK = (1 << 64) - 1

    def __init__(self, seed):
        self.state = seed & self.MASK

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & self.MASK
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & self.MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & self.MASK
        return z ^ (z >> 31)

    def below(self, n):
        """A whole number from 0 to n - 1."""
        return self.next() % n

    def between(self, low, high):
        """A whole number from low to high, both included."""
        return low + self.below(high - low + 1)

    def pick(self, items):
        return items[self.below(len(items))]


# --- customers -------------------------------------------------------------------------

# (city, zip prefix, digits of the zip, country)
CITIES = [
    ("Berlin", "10", 5, "Germany"),
    ("Hamburg", "20", 5, "Germany"),
    ("M\u00fcnchen", "80", 5, "Germany"),
    ("K\u00f6ln", "50", 5, "Germany"),
    ("Stockholm", "111 ", 5, "Sweden"),
    ("G\u00f6teborg", "411 ", 5, "Sweden"),
    ("Malm\u00f6", "211 ", 5, "Sweden"),
    ("Paris", "750", 5, "France"),
    ("Lyon", "690", 5, "France"),
    ("Amsterdam", "101", 4, "Netherlands"),
    ("Rotterdam", "301", 4, "Netherlands"),
    ("Wien", "1", 4, "Austria"),
    ("Z\u00fcrich", "80", 4, "Switzerland"),
    ("K\u00f8benhavn", "1", 4, "Denmark"),
]

# country -> (telephone country code, street names)
COUNTRIES = {
    "Germany": (49, ["Hauptstra\u00dfe", "Lindenallee", "Marktplatz", "Ringstra\u00dfe", "Bahnhofstra\u00dfe"]),
    "Sweden": (46, ["Kungsgatan", "Drottninggatan", "Storgatan", "Sveav\u00e4gen"]),
    "France": (33, ["Rue de la Paix", "Rue Victor Hugo", "Avenue Foch", "Boulevard Voltaire"]),
    "Netherlands": (31, ["Keizersgracht", "Prinsengracht", "Kalverstraat"]),
    "Austria": (43, ["Mariahilfer Stra\u00dfe", "Graben", "Praterstra\u00dfe"]),
    "Switzerland": (41, ["Bahnhofstrasse", "Limmatquai", "Seefeldstrasse"]),
    "Denmark": (45, ["Havnegade", "Str\u00f8get", "Vesterbrogade"]),
}

COMPANY_FIRST = [
    "Alder", "Birch", "Cedar", "Linden", "Maple", "Rowan", "Willow", "Hazel",
    "Juniper", "Aspen", "Elm", "Larch", "Poplar", "Hawthorn", "Spruce", "Yew",
]
COMPANY_LAST = [
    "Caf\u00e9", "Kaffeehaus", "Tea Room", "Bistro", "Deli", "Bakery",
    "Books & Coffee", "Roastery", "Kitchen", "Trading", "Market", "Pantry",
]
FIRST_NAMES = [
    "Anna", "Jonas", "Elin", "Lukas", "Sophie", "Erik", "Marie", "Felix",
    "Clara", "Oskar", "Lena", "Hugo", "Ida", "Paul", "Nora", "Emil",
]
LAST_NAMES = [
    "Berg", "Dubois", "Fischer", "Holm", "Jansen", "Keller", "Lindqvist", "Martin",
    "Novak", "Petit", "Richter", "Sandberg", "Vogel", "de Vries", "Wagner", "Weber",
]

CUSTOMER_COUNT = 36


def make_customers(rng):
    rows = []
    used = set()
    for cid in range(1, CUSTOMER_COUNT + 1):
        while True:
            name = rng.pick(COMPANY_FIRST) + " " + rng.pick(COMPANY_LAST)
            if name not in used:
                used.add(name)
                break
        contact = rng.pick(FIRST_NAMES) + " " + rng.pick(LAST_NAMES)
        city, zip_prefix, zip_digits, country = CITIES[rng.below(len(CITIES))]
        digits = zip_digits - len(zip_prefix.replace(" ", ""))
        zip_code = zip_prefix + str(rng.below(10 ** digits)).zfill(digits)
        phone_code, streets = COUNTRIES[country]
        street = "%s %d" % (rng.pick(streets), rng.between(1, 120))
        slug = "".join(ch for ch in name.lower().replace("\u00e9", "e") if ch.isascii() and ch.isalnum())
        email = "orders@%s.example" % slug
        phone = "+%d %03d %04d" % (phone_code, rng.below(1000), rng.below(10000))
        rows.append((cid, name, contact, street, zip_code, city, country, email, phone))
    return rows


# --- products and their pictures ---------------------------------------------------------

# category -> (RGB colour, shape)
CATEGORIES = {
    "Coffee": ((122, 74, 38), "bean"),
    "Tea": ((46, 139, 87), "leaf"),
    "Chocolate": ((88, 48, 32), "square"),
    "Tableware": ((40, 96, 170), "cup"),
    "Books": ((178, 34, 52), "book"),
}

PRODUCTS = [
    # name, category, unit, unit price
    ("Espresso Roast", "Coffee", "250 g", 7.90),
    ("House Blend", "Coffee", "500 g", 12.50),
    ("Decaf Colombia", "Coffee", "250 g", 8.40),
    ("Ethiopia Yirgacheffe", "Coffee", "250 g", 11.90),
    ("Earl Grey", "Tea", "100 g", 5.20),
    ("Sencha", "Tea", "100 g", 6.80),
    ("Rooibos Vanilla", "Tea", "100 g", 4.60),
    ("Darjeeling First Flush", "Tea", "100 g", 14.30),
    ("Dark 70%", "Chocolate", "100 g", 3.10),
    ("Milk Hazelnut", "Chocolate", "100 g", 2.80),
    ("Pralines Assorted", "Chocolate", "box", 18.50),
    ("Cocoa Powder", "Chocolate", "250 g", 6.20),
    ("Espresso Cup", "Tableware", "piece", 9.90),
    ("Teapot 1 l", "Tableware", "piece", 34.00),
    ("Milk Jug", "Tableware", "piece", 15.40),
    ("Pour-over Dripper", "Tableware", "piece", 22.70),
    ("The Coffee Atlas", "Books", "book", 29.95),
    ("Tea Ceremonies", "Books", "book", 24.50),
    ("Chocolate at Home", "Books", "book", 19.80),
    ("Brewing Basics", "Books", "book", 12.90),
]


def inside(shape, x, y):
    """Whether the point (x, y) in the unit square (0..1, y down) lies in the shape."""
    dx, dy = x - 0.5, y - 0.5
    if shape == "bean":
        # a coffee bean: a tilted ellipse split by a wavy groove
        u = dx * math.cos(0.5) - dy * math.sin(0.5)
        v = dx * math.sin(0.5) + dy * math.cos(0.5)
        if (u / 0.28) ** 2 + (v / 0.42) ** 2 > 1:
            return False
        return abs(u - 0.05 * math.sin(v * 9)) > 0.025
    if shape == "cup":
        body = 0.14 <= x <= 0.66 and 0.28 <= y <= 0.78
        handle = x > 0.66 and 0.08 <= math.hypot(x - 0.66, y - 0.50) <= 0.15
        saucer = 0.06 <= x <= 0.86 and 0.82 <= y <= 0.88
        return body or handle or saucer
    if shape == "square":
        # a bar of chocolate: a rounded square with grooves
        if abs(dx) > 0.40 or abs(dy) > 0.40:
            return False
        corner_x, corner_y = abs(dx) - 0.32, abs(dy) - 0.32
        if corner_x > 0 and corner_y > 0 and math.hypot(corner_x, corner_y) > 0.08:
            return False
        return not (abs(dx) < 0.015 or abs(dy) < 0.015)
    if shape == "leaf":
        # the intersection of two discs, turned by 45 degrees
        u = (dx + dy) / math.sqrt(2)
        v = (dx - dy) / math.sqrt(2)
        return math.hypot(u, v - 0.25) <= 0.45 and math.hypot(u, v + 0.25) <= 0.45
    if shape == "book":
        return 0.18 <= x <= 0.82 and 0.12 <= y <= 0.88 and not (0.26 <= x <= 0.30 and 0.12 <= y <= 0.88)
    raise ValueError(shape)


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def make_png(shape, colour, shade, size=64):
    """A size x size RGB PNG: the shape in the colour (lightened by shade,
    0..1) on white, edges smoothed by 4 x 4 supersampling."""
    colour = tuple(int(c + (255 - c) * shade) for c in colour)
    rows = bytearray()
    steps = 4
    for py in range(size):
        rows.append(0)  # filter type None
        for px in range(size):
            hits = 0
            for sy in range(steps):
                for sx in range(steps):
                    if inside(shape, (px + (sx + 0.5) / steps) / size, (py + (sy + 0.5) / steps) / size):
                        hits += 1
            a = hits / (steps * steps)
            rows.extend(int(round(255 + (c - 255) * a)) for c in colour)
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)  # 8-bit RGB
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + png_chunk(b"IEND", b""))


def make_products():
    rows = []
    per_category = {}
    for pid, (name, category, unit, price) in enumerate(PRODUCTS, start=1):
        colour, shape = CATEGORIES[category]
        index = per_category.get(category, 0)
        per_category[category] = index + 1
        rows.append((pid, name, category, unit, price, make_png(shape, colour, 0.18 * index)))
    return rows


# --- orders ----------------------------------------------------------------------------------

ORDER_COUNT = 150
PAYMENTS = ["Invoice", "Card", "Card", "Bank transfer"]
FREE_SHIPPING_FROM = 50.0
SHIPPING = 4.90
VOLUME_QTY = 10  # from this quantity on a line, the price is lower by
VOLUME_DISCOUNT_PERCENT = 10
DAYS_IN_MONTH = [31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]  # 2024


def iso_date(day_of_year):
    """'2024-MM-DD' of the day (0 = 1 January 2024)."""
    month = 0
    while day_of_year >= DAYS_IN_MONTH[month]:
        day_of_year -= DAYS_IN_MONTH[month]
        month += 1
    return "2024-%02d-%02d" % (month + 1, day_of_year + 1)


def make_orders(rng):
    orders, lines = [], []
    for oid in range(1, ORDER_COUNT + 1):
        # spread over the year in date order, two to three orders a week
        day = 2 + (oid - 1) * 361 // ORDER_COUNT + rng.below(2)
        customer = rng.between(1, CUSTOMER_COUNT)
        count = rng.between(1, 7)
        chosen = []
        while len(chosen) < count:
            product = rng.between(1, len(PRODUCTS))
            if product not in chosen:
                chosen.append(product)
        goods = 0.0
        for line_no, product in enumerate(chosen, start=1):
            qty = rng.pick([1, 1, 1, 2, 2, 3, 4, 5, 6, 10, 12])
            price = PRODUCTS[product - 1][3]
            if qty >= VOLUME_QTY:
                price = round(price * (100 - VOLUME_DISCOUNT_PERCENT) / 100, 2)
            goods += qty * price
            lines.append((oid, line_no, product, qty, price))
        shipping = 0.0 if goods >= FREE_SHIPPING_FROM else SHIPPING
        orders.append((oid, customer, iso_date(day), rng.pick(PAYMENTS), shipping))
    return orders, lines


SCHEMA = """
CREATE TABLE customers (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  contact TEXT,
  street TEXT,
  zip TEXT,
  city TEXT,
  country TEXT,
  email TEXT,
  phone TEXT
);
CREATE TABLE products (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  category TEXT NOT NULL,
  unit TEXT,
  unit_price REAL NOT NULL,
  picture BLOB
);
CREATE TABLE orders (
  id INTEGER PRIMARY KEY,
  customer_id INTEGER NOT NULL REFERENCES customers(id),
  order_date DATE NOT NULL,
  payment TEXT,
  shipping REAL NOT NULL
);
CREATE TABLE order_lines (
  order_id INTEGER NOT NULL REFERENCES orders(id),
  line_no INTEGER NOT NULL,
  product_id INTEGER NOT NULL REFERENCES products(id),
  qty INTEGER NOT NULL,
  price REAL NOT NULL,
  PRIMARY KEY (order_id, line_no)
);
CREATE INDEX order_lines_product ON order_lines(product_id);
CREATE INDEX orders_customer ON orders(customer_id);
"""


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "shop.db")
    temporary = target + ".tmp"
    for path in (temporary, temporary + "-journal"):
        if os.path.exists(path):
            os.remove(path)

    rng = SplitMix64(SEED)
    customers = make_customers(rng)
    products = make_products()
    orders, lines = make_orders(rng)

    db = sqlite3.connect(temporary)
    db.execute("PRAGMA page_size = 4096")
    db.executescript(SCHEMA)
    with db:
        db.executemany("INSERT INTO customers VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", customers)
        db.executemany("INSERT INTO products VALUES (?, ?, ?, ?, ?, ?)", products)
        db.executemany("INSERT INTO orders VALUES (?, ?, ?, ?, ?)", orders)
        db.executemany("INSERT INTO order_lines VALUES (?, ?, ?, ?, ?)", lines)
    db.close()
    os.replace(temporary, target)
    print("%s: %d customers, %d products, %d orders, %d order lines"
          % (target, len(customers), len(products), len(orders), len(lines)))


if __name__ == "__main__":
    main()
