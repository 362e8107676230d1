"""velmaro-plant in headless Chromium over records stored by the real store code: the front page,
a run's charts, its lens, the filters, the CSV against velmaro-report's; each page on a phone and a
desk, with a screenshot of each."""

import csv
import io
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import unittest
import urllib.request
from datetime import datetime, timedelta, timezone

from selenium import webdriver
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as EC
from selenium.webdriver.support.ui import WebDriverWait

from desktop import DEADLINE, WITNESSES, BrowserWitness, main

PLANT, FIXTURE, REPORT, ARTEFACTS = sys.argv[1:5]
SHOTS = os.path.join(ARTEFACTS, "plant")


class PlantInABrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.home = tempfile.mkdtemp(prefix="velmaro-plant-e2e-")
        cls.addClassCleanup(shutil.rmtree, cls.home, ignore_errors=True)
        cls.env = dict(os.environ, XDG_DATA_HOME=os.path.join(cls.home, "data"),
                       XDG_CONFIG_HOME=os.path.join(cls.home, "config"), TZ="Europe/Rome")
        cls.env.pop("VELMARO_RUNS_DB", None)
        subprocess.run([FIXTURE], env=cls.env, check=True, timeout=120)
        # The station of bench-4 was killed five minutes ago, in the middle of its run.
        stale = (datetime.now(timezone.utc) - timedelta(minutes=5)).strftime(
            "%Y-%m-%dT%H:%M:%S.000Z")
        with sqlite3.connect(os.path.join(cls.home, "data", "velmaro", "runs.sqlite")) as db:
            db.execute("UPDATE run_progress SET updated = ? WHERE station = 'bench-4'", (stale,))

        cls.plant = subprocess.Popen([PLANT, "--listen", "127.0.0.1:0"], env=cls.env,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        cls.addClassCleanup(cls.end_plant)
        line = cls.plant.stdout.readline()
        match = re.fullmatch(r"Listening on (http://127\.0\.0\.1:\d+/)\n", line)
        if not match:
            raise AssertionError(f"no address: {line!r} {cls.plant.stderr.read()}")
        cls.base = match.group(1)

        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--no-first-run", "--window-size=1280,900",
                     f"--user-data-dir={os.path.join(cls.home, 'chromium')}"):
            options.add_argument(flag)
        service = Service(executable_path="/usr/bin/chromedriver")
        cls.browser = webdriver.Chrome(service=service, options=options)
        cls.addClassCleanup(cls.browser.quit)
        os.makedirs(SHOTS, exist_ok=True)
        WITNESSES.append(BrowserWitness(cls.browser, SHOTS))
        cls.addClassCleanup(WITNESSES.clear)

    @classmethod
    def end_plant(cls):
        """SIGTERM ends it cleanly."""
        cls.plant.terminate()
        if cls.plant.wait(timeout=30) != 0:
            raise AssertionError(f"velmaro-plant ended with {cls.plant.returncode}")

    def window(self, width, height):
        self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})

    def find(self, by, what):
        """The element, once the page has it."""
        return WebDriverWait(self.browser, DEADLINE).until(
            EC.presence_of_element_located((by, what)))

    def go(self, address_part, action):
        """Does `action` (a click, or a get) and waits for the next page, at an address holding
        `address_part`, in place of the old one."""
        # The old page carries a mark that the next one lacks. A mark, not an element gone stale:
        # while the page changes, ChromeDriver may answer a question about an old element with an
        # error of its own instead of "stale", so every error here means "not yet".
        self.browser.execute_script("window.velmaroOldPage = true")
        action()
        wait = WebDriverWait(self.browser, DEADLINE, ignored_exceptions=(WebDriverException,))
        wait.until(lambda browser: browser.execute_script(
            "return !window.velmaroOldPage && document.readyState === 'complete'"))
        wait.until(EC.url_contains(address_part))
        self.find(By.TAG_NAME, "body")

    def row_of(self, station):
        return self.find(By.XPATH, f"//table[@id='stations']//tr[td[1]/a[text()='{station}']]")

    def test_a_technician_follows_a_station_to_its_run_and_lens_and_filters(self):
        # What each page shows is the page test's; here what a browser makes of them.
        self.go(self.base, lambda: self.browser.get(self.base))
        self.assertEqual(self.browser.title, "The plant now - Velmaro plant")
        self.assertRegex(self.row_of("bench-4").text, r"silent since \d\d:\d\d")
        self.go("/stations/bench-1", self.row_of("bench-1").find_element(By.TAG_NAME, "a").click)
        charts = self.browser.find_elements(By.CSS_SELECTOR, "figure.chart svg[role=img]")
        self.assertEqual(len(charts), 4)
        self.assertTrue(all(chart.size["height"] > 100 for chart in charts), "charts drawn")
        self.go(self.base, lambda: self.browser.get(self.base))

        link = self.row_of("bench-1").find_element(By.PARTIAL_LINK_TEXT, "last run")
        self.go("/runs/a0000006-", link.click)
        self.find(By.ID, "error-lines")
        charts = self.browser.find_elements(By.CSS_SELECTOR, "figure.chart svg")
        self.assertEqual(len(charts), 5)
        self.assertTrue(all(chart.size["height"] > 100 for chart in charts), "charts drawn")

        self.go("/lenses/L-1003", self.find(By.LINK_TEXT, "L-1003").click)
        self.assertIn("fail", self.find(By.ID, "lens-results").text)
        self.go("/lenses/L-1001", lambda: self.browser.get(self.base + "lenses/L-1001"))
        results = self.find(By.ID, "lens-results").text
        self.assertRegex(results, r"First run\s+\S*\s*fail")
        self.assertRegex(results, r"Latest run\s+\S*\s*pass")

        self.go("/runs", self.find(By.LINK_TEXT, "Runs").click)
        self.find(By.NAME, "station").send_keys("bench-2")
        self.go("station=bench-2", self.find(By.CSS_SELECTOR, "form.filters button").click)
        self.find(By.CSS_SELECTOR, "main table tbody tr")
        rows = self.browser.find_elements(By.CSS_SELECTOR, "main table tbody tr")
        self.assertEqual(len(rows), 2)
        self.assertIn("O'Brien <i>&amp;</i>", rows[1].text)

        # The download the page links, against the command line's, over the same filter.
        link = self.find(By.LINK_TEXT, "Download CSV").get_attribute("href")
        with urllib.request.urlopen(link, timeout=60) as answer:
            self.assertIn('filename="runs.csv"', answer.headers["Content-Disposition"])
            downloaded = answer.read()
        command = subprocess.run([REPORT, "--runs", "--csv", "--station", "bench-2"],
                                 env=self.env, capture_output=True, timeout=120)
        self.assertEqual(command.returncode, 0, command.stderr)
        self.assertEqual(downloaded, command.stdout)
        table = list(csv.DictReader(io.StringIO(downloaded.decode("utf-8"))))
        self.assertEqual(sorted(row["serial"] for row in table),
                         ["<script>alert(\"x\")</script>", "L-1002"])

    def test_the_serials_dot_and_dot_dot_are_reached_from_their_links(self):
        for serial in (".", ".."):
            self.go("station=bench-9", lambda: self.browser.get(self.base + "runs?station=bench-9"))
            self.go("/lenses", self.find(By.LINK_TEXT, serial).click)
            self.assertEqual(self.find(By.TAG_NAME, "h1").text, f"Lens {serial}")

    def test_the_quality_page_shows_the_trend_and_the_weeks(self):
        self.go("quality", lambda: self.browser.get(self.base + "quality"))
        self.assertIn("bench-9", self.find(By.ID, "quality").text)
        points = [point.get_attribute("textContent") for point in
                  self.browser.find_elements(By.CSS_SELECTOR, "#trend svg circle title")]
        self.assertRegex(points[-1], r"^Plant, \d{4}-W\d\d: [\d.]+% of \d+ new lens")
        self.assertEqual(len(points), len(self.browser.find_elements(
            By.XPATH, "//table[@id='trend-points']//td[contains(., 'lenses')]")))

    def test_the_reload_pauses_with_the_address_kept(self):
        self.go("/?x=1", lambda: self.browser.get(self.base + "?x=1"))
        self.go("reload=0", self.find(By.ID, "reload").click)
        self.assertIn("x=1", self.browser.current_url)
        self.assertFalse(self.browser.find_elements(By.CSS_SELECTOR, "meta[http-equiv=refresh]"))
        self.go("/?x=1", self.find(By.LINK_TEXT, "Resume reload").click)
        self.find(By.CSS_SELECTOR, "meta[http-equiv=refresh]")

    def test_every_page_reads_on_a_phone_and_a_desk(self):
        pages = {"front": "", "runs": "runs", "run": "runs/a0000006", "lens": "lenses/L-1001",
                 "quality": "quality", "station": "stations/bench-1", "lenses": "lenses?decision=1",
                 "missing": "nowhere"}
        self.addCleanup(self.browser.execute_cdp_cmd, "Emulation.clearDeviceMetricsOverride", {})
        for width, height in ((390, 844), (1280, 1000)):
            for name, address in pages.items():
                self.window(width, height)
                self.go(self.base + address, lambda: self.browser.get(self.base + address))
                sizes = self.browser.execute_script(
                    "return [document.documentElement.scrollWidth, innerWidth]")
                self.assertLessEqual(sizes[0], sizes[1], f"{name} at {width} px")
                self.assertIn("Times in ", self.find(By.ID, "zone").text)
                self.assertFalse(self.browser.find_elements(
                    By.XPATH, "//table[not(caption)] | //figure[not(descendant-or-self::*"
                    "[@role='img' and @aria-label])]"), name)
                tall = self.browser.execute_script("return document.documentElement.scrollHeight")
                self.window(width, min(tall, 6000))
                self.browser.save_screenshot(os.path.join(SHOTS, f"{name}-{width}.png"))


if __name__ == "__main__":
    main()
