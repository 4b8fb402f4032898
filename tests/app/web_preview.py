"""The printer's label pages in a real browser (headless Chromium): from
the printer's page to its Label Preview page, which shows the last label
the printer printed; a document uploaded there with the form's settings
shows the label the printer would print. Chromium decodes both pictures and
labelpreview's picture of the printed job: their dots must be the same, and
read as the mirrored label in the hand (the document's bar at the top
right, its box at the bottom left).

    web_preview.py PRINTER-PAGE-URL DOCUMENT PRINTED-PICTURE
"""
import base64
import sys

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

# The document's black dots by quarter of the label in the hand (top left,
# top right, bottom left, bottom right): its 300 x 120 bar and 280 x 300
# box, mirrored.
QUARTERS = [0, 300 * 120, 280 * 300, 0]

# The dots of a picture on the page and of labelpreview's, as Chromium
# decodes them, compared in the page.
COMPARE = """
const [shown, expectedUrl, done] = arguments;
function dots(img) {
  const canvas = document.createElement('canvas');
  canvas.width = img.naturalWidth;
  canvas.height = img.naturalHeight;
  const context = canvas.getContext('2d');
  context.drawImage(img, 0, 0);
  const rgba = context.getImageData(0, 0, canvas.width, canvas.height).data;
  const black = new Uint8Array(canvas.width * canvas.height);
  for (let i = 0; i < black.length; ++i) black[i] = rgba[4 * i] < 128 ? 1 : 0;
  return {width: canvas.width, height: canvas.height, black: black};
}
const expected = new Image();
expected.onerror = () => done("labelpreview's picture does not load");
expected.onload = () => {
  const a = dots(shown), b = dots(expected);
  if (a.width !== b.width || a.height !== b.height)
    return done(`${a.width} x ${a.height} dots, labelpreview's ${b.width} x ${b.height}`);
  let differ = 0;
  const quarters = [0, 0, 0, 0];
  for (let y = 0; y < a.height; ++y)
    for (let x = 0; x < a.width; ++x) {
      const i = y * a.width + x;
      if (a.black[i] !== b.black[i]) ++differ;
      if (a.black[i]) ++quarters[(y < a.height / 2 ? 0 : 2) + (x < a.width / 2 ? 0 : 1)];
    }
  done({differ: differ, quarters: quarters});
};
expected.src = expectedUrl;
"""

SHOWN = ("const p = document.getElementById(arguments[0]);"
         "return !p.hidden && p.complete && p.naturalWidth > 0;")


def same_dots(driver, what, element_id, printed_url):
    WebDriverWait(driver, 60).until(lambda d: d.execute_script(SHOWN, element_id))
    result = driver.execute_async_script(COMPARE, driver.find_element(By.ID, element_id), printed_url)
    if not isinstance(result, dict):
        sys.exit(f"{what}: {result}")
    if result["differ"] or result["quarters"] != QUARTERS:
        sys.exit(f"{what}: {result['differ']} dots differ from labelpreview's; black dots by "
                 f"quarter {result['quarters']}, not {QUARTERS}")


def main():
    url, document, printed = sys.argv[1:4]
    with open(printed, "rb") as f:
        printed_url = "data:image/png;base64," + base64.b64encode(f.read()).decode()
    options = webdriver.ChromeOptions()
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                "--window-size=1280,2400", "--lang=en-US"):
        options.add_argument(arg)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.set_page_load_timeout(60)
        driver.set_script_timeout(60)
        driver.get(url)
        driver.find_element(By.LINK_TEXT, "Label Preview").click()
        WebDriverWait(driver, 30).until(lambda d: d.current_url.endswith("/preview"))
        same_dots(driver, "the last label", "last-label", printed_url)

        Select(driver.find_element(By.NAME, "mirror-image")).select_by_value("true")
        Select(driver.find_element(By.NAME, "gray-conversion")).select_by_value("threshold")
        driver.find_element(By.ID, "file").send_keys(document)
        driver.find_element(By.CSS_SELECTOR, "input[type=submit]").click()
        same_dots(driver, "the preview", "preview", printed_url)
    finally:
        driver.quit()


if __name__ == "__main__":
    main()
