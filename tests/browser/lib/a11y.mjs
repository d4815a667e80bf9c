// Accessibility checks on the page a test has open: accessible names from
// Chromium's own accessibility tree, contrast of the text as rendered, and
// where the keyboard's Tab key goes.

const CONTROLS = 'input:not([type="hidden"]), select, textarea, button';

// Every rendered control and link with the accessible name Chromium computes for it
// (over CDP); folded <details> are opened first, so their fields count as well.
export async function accessibleNames(page) {
  await page.evaluate(() => document.querySelectorAll('details').forEach((details) => { details.open = true; }));
  const cdp = await page.context().newCDPSession(page);
  try {
    await cdp.send('DOM.enable');
    await cdp.send('Accessibility.enable');
    const { root } = await cdp.send('DOM.getDocument', { depth: 0 });
    const { nodeIds } = await cdp.send('DOM.querySelectorAll', { nodeId: root.nodeId, selector: `${CONTROLS}, a[href]` });
    const result = [];
    for (const nodeId of nodeIds) {
      const { nodes } = await cdp.send('Accessibility.getPartialAXTree', { nodeId, fetchRelatives: false });
      const node = nodes.find((n) => !n.ignored);
      if (!node) continue; // not rendered (e.g. inside <noscript> or display: none)
      const { outerHTML } = await cdp.send('DOM.getOuterHTML', { nodeId });
      result.push({ role: node.role?.value ?? '', name: (node.name?.value ?? '').trim(), html: outerHTML.slice(0, 160) });
    }
    return result;
  } finally {
    await cdp.detach().catch(() => {});
  }
}

// Text with less contrast than WCAG AA asks for (4.5:1; 3:1 from 24px, or 18.66px bold)
// against the background, found by blending up to the first opaque one.
export async function lowContrastText(page) {
  return page.evaluate(() => {
    const probe = document.createElement('canvas').getContext('2d', { willReadFrequently: true });
    // Any CSS colour (rgb(), color(srgb ...), color-mix results) to RGBA.
    function rgba(color) {
      probe.clearRect(0, 0, 1, 1);
      probe.fillStyle = '#000'; // what stays if color is not a colour
      probe.fillStyle = color;
      probe.fillRect(0, 0, 1, 1);
      return [...probe.getImageData(0, 0, 1, 1).data].map((v, i) => (i === 3 ? v / 255 : v));
    }
    const over = (top, bottom) => [0, 1, 2].map((i) => top[i] * top[3] + bottom[i] * (1 - top[3])).concat(1);
    const lin = (c) => (c / 255 <= 0.03928 ? c / 255 / 12.92 : ((c / 255 + 0.055) / 1.055) ** 2.4);
    const luminance = ([r, g, b]) => 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b);
    const ratio = (a, b) => {
      const [hi, lo] = [luminance(a), luminance(b)].sort((x, y) => y - x);
      return (hi + 0.05) / (lo + 0.05);
    };
    function background(element) {
      const layers = [];
      for (let e = element; e; e = e.parentElement) {
        const color = rgba(getComputedStyle(e).backgroundColor);
        if (color[3] > 0) layers.push(color);
        if (color[3] >= 1) break;
      }
      let result = rgba(getComputedStyle(document.documentElement).backgroundColor);
      if (result[3] < 1) result = [255, 255, 255, 1];
      for (let i = layers.length - 1; i >= 0; i -= 1) result = over(layers[i], result);
      return result;
    }
    const problems = [];
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    const seen = new Set();
    for (let text = walker.nextNode(); text; text = walker.nextNode()) {
      const element = text.parentElement;
      if (!text.textContent.trim() || !element || seen.has(element)) continue;
      seen.add(element);
      const style = getComputedStyle(element);
      const box = element.getBoundingClientRect();
      if (style.visibility === 'hidden' || box.width === 0 || box.height === 0) continue;
      if (element.closest('[aria-hidden="true"], .visually-hidden, :disabled, noscript')) continue;
      if (element.closest('.skip-link') && document.activeElement !== element.closest('.skip-link')) continue;
      const bg = background(element);
      const size = parseFloat(style.fontSize);
      const needed = size >= 24 || (size >= 18.66 && Number(style.fontWeight) >= 700) ? 3 : 4.5;
      const found = ratio(over(rgba(style.color), bg), bg);
      if (found < needed) {
        problems.push(`${found.toFixed(2)}:1 < ${needed}:1 for "${text.textContent.trim().slice(0, 40)}" ` +
          `(${element.tagName.toLowerCase()}.${element.className}) ${style.color} on rgb(${bg.slice(0, 3)})`);
      }
    }
    return problems;
  });
}

// Presses Tab until the focus comes back round: every stop, whether it showed a 2px outline
// (or its card did), and the rendered controls outside folded <details> never reached.
export async function keyboardWalk(page, limit = 120) {
  const controls = await page.evaluate((selector) => {
    document.activeElement?.blur();
    window.scrollTo(0, 0);
    return [...document.querySelectorAll(selector)].filter((e) => {
      const box = e.getBoundingClientRect();
      return (box.width > 0 || box.height > 0) && !e.closest('details:not([open]) > :not(summary)');
    }).map((e, i) => {
      e.dataset.kxKey = `control-${i}`;
      return { key: e.dataset.kxKey, tag: e.tagName.toLowerCase(), id: e.id, name: e.getAttribute('name') ?? '' };
    });
  }, CONTROLS);
  const stops = [];
  for (let i = 0; i < limit; i += 1) {
    await page.keyboard.press('Tab');
    const stop = await page.evaluate(() => {
      const element = document.activeElement;
      if (!element || element === document.body) return null;
      const outlined = (e) => getComputedStyle(e).outlineStyle !== 'none' && parseFloat(getComputedStyle(e).outlineWidth) >= 2;
      const card = element.closest('.card');
      element.dataset.kxKey ||= `stop-${Math.random()}`;
      return { key: element.dataset.kxKey, tag: element.tagName.toLowerCase(), text: (element.textContent ?? '').trim().slice(0, 40),
        indicator: outlined(element) || (card !== null && outlined(card)) };
    });
    if (!stop || stop.key === stops[0]?.key) break;
    stops.push(stop);
  }
  const reached = new Set(stops.map((stop) => stop.key));
  return { stops, missed: controls.filter((control) => !reached.has(control.key)) };
}
