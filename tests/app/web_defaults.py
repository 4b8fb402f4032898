"""The printer application's web page in a real browser (headless Chromium):
its settings and media read as words; a feed after printing outside the
list is not kept; darkness, one vendor attribute and the feed are set
through the printing defaults form; the test page is printed from the
printer's page; the Add Printer page lists the devices.

    web_defaults.py PRINTER-PAGE-URL SERVER-LOG DARKNESS-PERCENT HEAD-PRESSURE FEED
"""
import sys
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import Select, WebDriverWait

# The vendor attributes, as IPP names them.
VENDOR = ["gray-conversion", "label-origin", "mirror-image", "negative-image",
          "feed-after-printing", "cutting", "print-head-pressure",
          "print-head-temperature", "print-head-offset", "edge-enhancement",
          "edge-enhancement-length", "upward-offset"]


def keyword_look(keyword):
    """What PAPPL 1.3 shows for a keyword nobody named: "Printer Setting"."""
    return " ".join(word[:1].upper() + word[1:] for word in keyword.split("-"))


def option_texts(driver, name):
    """Each option of the select NAME as value: text."""
    select = Select(driver.find_element(By.NAME, name))
    return {o.get_attribute("value"): o.text for o in select.options}


def expect(what, got, wanted):
    if got != wanted:
        sys.exit(f"{what}: the page shows {got!r}, not {wanted!r}")


def check_words(driver, url):
    """The printing defaults and the media read as words, not keywords."""
    driver.get(url + "/printing")
    for name in VENDOR:
        field = driver.find_element(By.NAME, name)
        heading = field.find_element(By.XPATH, "ancestor::tr/th").text.rstrip(":")
        if heading in (name, keyword_look(name)):
            sys.exit(f"{name} has no name on the page: {heading!r}")
        if field.tag_name == "select":
            for value, text in option_texts(driver, name).items():
                if "-" in value and text == keyword_look(value):
                    sys.exit(f"{name}={value} has no name on the page: {text!r}")
    heading = driver.find_element(By.NAME, "print-head-pressure").find_element(
        By.XPATH, "ancestor::tr/th").text
    expect("print head pressure", heading, "Print head pressure:")
    expect("gray conversion", list(option_texts(driver, "gray-conversion").values()),
           ["Edge-aware", "Threshold", "Ordered dither", "Error diffusion"])
    expect("pressure printer-setting", option_texts(driver, "print-head-pressure")["printer-setting"],
           "Printer's setting")
    expect("darkness 0 %", option_texts(driver, "print-darkness")["0"], "0% (printer's setting)")
    # Feed after printing is a list of its 14 steps, 30 dots each up to 10,
    # then 360, 540 and 720 dots, at 203 dots an inch.
    feed = option_texts(driver, "feed-after-printing")
    expect("feed values", list(feed), [str(n) for n in range(14)])
    expect("feed 0", feed["0"], "No feed")
    expect("feed 1", feed["1"], "30 dots (3.8 mm)")
    expect("feed 13", feed["13"], "720 dots (90.1 mm)")

    driver.get(url + "/media")
    size = driver.find_element(By.CSS_SELECTOR, "select[name$='-size']")
    sizes = {o.get_attribute("value"): o.text for o in Select(size).options}
    expect("58 mm roll", sizes["om_58mm-roll_48.1x100mm"], "58 mm roll, 100 mm")
    expect("40 x 30 label", sizes["om_40x30-label_40x30mm"], "40 × 30 mm label")
    expect("4 x 6 label", sizes["oe_4x6-label_4x6in"], "4 × 6 in label")
    # PAPPL names a size nobody named by its inches or millimetres: "1.89 x 3.94"".
    unnamed = [text for text in sizes.values() if " x " in text]
    if unnamed:
        sys.exit(f"page sizes without a name: {unnamed}")


def save_form(driver, choose):
    """Fill the printing defaults form with 'choose' and save it."""
    choose()
    save = driver.find_element(By.CSS_SELECTOR, "input[type=submit]")
    driver.execute_script("arguments[0].scrollIntoView({block: 'center'});", save)
    save.click()
    # The form is posted and the page comes back with the saved values.
    WebDriverWait(driver, 30).until(expected_conditions.staleness_of(save))


def feed_outside_list(driver, url, log):
    """A form that sends feed 99 (a hand-made one) does not keep it."""
    driver.get(url + "/printing")
    save_form(driver, lambda: driver.execute_script(
        "var s = document.getElementsByName('feed-after-printing')[0];"
        "s.add(new Option('99', '99')); s.value = '99';"))
    line = "The default of feed-after-printing is not a value the printer takes; it is set back to 0."
    for _ in range(100):
        with open(log, encoding="utf-8", errors="replace") as f:
            if line in f.read():
                return
        time.sleep(0.1)
    sys.exit("feed after printing 99 from the form was kept without a word")


def main():
    url, log, darkness, pressure, feed = sys.argv[1:6]
    options = webdriver.ChromeOptions()
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                "--window-size=1280,2400", "--lang=en-US"):
        options.add_argument(arg)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.set_page_load_timeout(60)
        check_words(driver, url)
        feed_outside_list(driver, url, log)

        driver.get(url + "/printing")
        save_form(driver, lambda: (
            Select(driver.find_element(By.NAME, "print-darkness")).select_by_value(darkness),
            Select(driver.find_element(By.NAME, "print-head-pressure")).select_by_value(pressure),
            Select(driver.find_element(By.NAME, "feed-after-printing")).select_by_value(feed)))
        for name, value in (("print-head-pressure", pressure), ("feed-after-printing", feed)):
            shown = Select(driver.find_element(By.NAME, name)).first_selected_option
            if shown.get_attribute("value") != value:
                sys.exit(f"the page shows another {name} after saving")

        driver.get(url)
        test_page = driver.find_element(By.CSS_SELECTOR, "input[value='Print Test Page']")
        driver.execute_script("arguments[0].scrollIntoView({block: 'center'});", test_page)
        test_page.click()
        WebDriverWait(driver, 30).until(expected_conditions.staleness_of(test_page))

        # Add Printer lists the devices it finds, network ones included.
        driver.get(url.rsplit("/", 1)[0] + "/addprinter")
        devices = option_texts(driver, "device_uri")
        if "socket" not in devices:
            sys.exit(f"the Add Printer page lists no network printer choice: {devices}")
    finally:
        driver.quit()


if __name__ == "__main__":
    main()
